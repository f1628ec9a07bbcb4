/* The smallest program that links: nothing runs, only the resources matter. */
int entry(void) { return 0; }
