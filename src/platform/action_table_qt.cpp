#include "platform/action_table_qt.h"

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCoreApplication>

namespace quillora {

ActionTable::ActionTable(QObject* parent) : QObject(parent) {
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &ActionTable::update_all);
    }
}

void ActionTable::add(QAction* action, std::function<void()> run, std::function<bool()> update) {
    entries_.push_back({action, std::move(run), std::move(update)});
    // A shortcut or trigger() runs the action through execute() too.
    connect(action, &QAction::triggered, this, [this, action] { this->execute(action); });
}

void ActionTable::bind(QAbstractButton* button, QAction* action) {
    button->setEnabled(action->isEnabled());
    connect(action, &QAction::enabledChanged, button, &QAbstractButton::setEnabled);
    connect(button, &QAbstractButton::clicked, this, [this, action] { execute(action); });
}

ActionTable::Entry* ActionTable::find(QAction* action) {
    for (Entry& entry : entries_) {
        if (entry.action == action)
            return &entry;
    }
    return nullptr;
}

void ActionTable::update(Entry& entry) {
    if (entry.update)
        entry.action->setEnabled(entry.update());
}

void ActionTable::update_all() {
    for (Entry& entry : entries_)
        update(entry);
}

bool ActionTable::execute(QAction* action) {
    Entry* entry = find(action);
    if (!entry)
        return false;
    update(*entry);
    if (!action->isEnabled())
        return false;
    entry->execute();
    return true;
}

}  // namespace quillora
