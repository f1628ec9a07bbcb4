// Files and folders dragged from a file manager and dropped on a list.
#pragma once

#include <functional>
#include <string>
#include <vector>

class QAbstractItemView;
class QMimeData;

namespace quillora {

// One dropped item: the path's bytes, and whether it is a folder.
struct DroppedItem {
    std::string path;
    bool folder = false;
};

// The local files and folders in dropped data, in the order given; anything
// that is not a local file URI is left out.
std::vector<DroppedItem> dropped_items(const QMimeData& data);

// Makes `list` take drops of local files and folders: each drop is handed to
// `dropped` once the drop itself has been answered (the drag's source does
// not wait for what the list does with it). The handler lives as long as the
// list.
void accept_file_drops(QAbstractItemView* list,
                       std::function<void(const std::vector<DroppedItem>&)> dropped);

}  // namespace quillora
