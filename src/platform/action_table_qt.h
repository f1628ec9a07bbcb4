// The main window's actions: each with an optional update rule that sets its
// enabled state. The rules are evaluated whenever the event queue runs empty,
// and once more before an action executes; it executes only when enabled.
#pragma once

#include <QObject>
#include <functional>
#include <vector>

class QAction;
class QAbstractButton;

namespace quillora {

class ActionTable : public QObject {
    Q_OBJECT
  public:
    explicit ActionTable(QObject* parent = nullptr);

    // Registers an action. `update` may be empty (always enabled). Triggering
    // the action (its button, a shortcut, trigger()) runs execute().
    void add(QAction* action, std::function<void()> run, std::function<bool()> update = {});
    // A button that clicks its action and follows its enabled state.
    void bind(QAbstractButton* button, QAction* action);

    // Evaluates every update rule.
    void update_all();
    // Evaluates the action's rule, then runs it if enabled. Returns whether it ran.
    bool execute(QAction* action);

  private:
    struct Entry {
        QAction* action;
        std::function<void()> execute;
        std::function<bool()> update;
    };
    Entry* find(QAction* action);
    void update(Entry& entry);

    std::vector<Entry> entries_;
};

}  // namespace quillora
