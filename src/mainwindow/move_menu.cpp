#include "mainwindow/move_menu.h"

#include "mainwindow/list_plan.h"
#include "store/to_qstring.h"

namespace bramwick {

QMenu* buildMoveMenu(Store& store, const CleanupCategory& category,
                     std::function<void(const std::string&)> showFolder, QWidget* parent) {
    const auto entries = ListPlan::moveMenu(category);
    if (entries.empty()) return nullptr;
    auto* menu = new QMenu(parent);
    menu->setObjectName("move-menu");
    QMenu* moveTo = nullptr;
    Store* target = &store;
    for (const auto& entry : entries) {
        QAction* action = nullptr;
        switch (entry.kind) {
        case ListPlan::MenuEntry::Kind::moveTo: {
            if (!moveTo) {
                moveTo = menu->addMenu(ListPlan::moveToTitle);
                moveTo->setObjectName("move-to");
                moveTo->menuAction()->setObjectName("move-to");
            }
            action = moveTo->addAction(toQString(entry.label));
            const Level level = *entry.level;
            QObject::connect(action, &QAction::triggered, menu,
                             [target, id = category.id, level] { target->move({id}, level); });
            break;
        }
        case ListPlan::MenuEntry::Kind::moveBack:
            action = menu->addAction(toQString(entry.label));
            QObject::connect(action, &QAction::triggered, menu,
                             [target, id = category.id] { target->moveBack(id); });
            break;
        case ListPlan::MenuEntry::Kind::separator:
            menu->addSeparator();
            break;
        case ListPlan::MenuEntry::Kind::showFolder:
            action = menu->addAction(toQString(entry.label));
            QObject::connect(action, &QAction::triggered, menu,
                             [showFolder, path = category.customFolder.value_or("")] {
                                 if (showFolder) showFolder(path);
                             });
            break;
        case ListPlan::MenuEntry::Kind::removeFolder:
            action = menu->addAction(toQString(entry.label));
            QObject::connect(action, &QAction::triggered, menu,
                             [target, category] { target->removeCustomFolder(category); });
            break;
        }
        if (action) {
            action->setObjectName(toQString(entry.objectName));
            action->setEnabled(entry.enabled);
        }
    }
    return menu;
}

} // namespace bramwick
