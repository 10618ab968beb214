#include "sheets/folder_dialog.h"

#include <filesystem>

#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>

#include "base/edition.h"
#include "sheets/sheet_rules.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {

SheetRules::PathKind pathKind(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) return SheetRules::PathKind::missing;
    return std::filesystem::is_directory(status) ? SheetRules::PathKind::folder
                                                 : SheetRules::PathKind::other;
}

} // namespace

FolderDialog::FolderDialog(QWidget* parent) : QFileDialog(parent) {
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly);
}

// Qt's own dialog selects, in its list, the rows its completion meets on the way along a typed
// path (the root folder and /tmp among them), answers with those rows rather than with what was
// typed, and writes their names over the typed path whenever the field lacks the focus (as it
// does while the completion list is open): the answer would be a folder the user never named.
// So the typed path selects nothing here and is read as typed.
void FolderDialog::showEvent(QShowEvent* event) {
    QFileDialog::showEvent(event);
    auto* typed = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!typed || typedAlone_) return;
    typedAlone_ = true;
    disconnect(typed, &QLineEdit::textChanged, this, nullptr);
    // Whether the typed path will do is said when it is accepted.
    if (auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
        if (QPushButton* accept = buttons->button(QDialogButtonBox::Open))
            connect(typed, &QLineEdit::textChanged, accept, [accept] { accept->setEnabled(true); });
}

void FolderDialog::accept() {
    std::string folder;
    if (auto* typed = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        folder = SheetRules::chosenFolder(typed->text().toStdString(),
                                          directory().absolutePath().toStdString(), pickedInList(),
                                          Edition::home());
    } else {
        // The desktop's own dialog answers with the folder it chose.
        const QStringList files = selectedFiles();
        if (files.isEmpty()) return;
        folder = files.first().toStdString();
    }
    if (auto problem = SheetRules::folderProblem(folder, pathKind(folder))) {
        refuse(*problem);
        return;
    }
    if (refusal_)
        if (auto refused = refusal_()) {
            refuse(*refused);
            return;
        }
    chosen_ = folder;
    QDialog::accept();
}

std::optional<std::string> FolderDialog::pickedInList() const {
    auto* list = findChild<QListView*>(QStringLiteral("listView"));
    if (!list || !list->selectionModel()) return std::nullopt;
    for (const QModelIndex& row : list->selectionModel()->selectedRows())
        if (row.parent() == list->rootIndex())
            return row.data(QFileSystemModel::FilePathRole).toString().toStdString();
    return std::nullopt;
}

void FolderDialog::refuse(const std::string& problem) {
    auto* note = new QMessageBox(QMessageBox::Warning, windowTitle(), toQString(problem),
                                 QMessageBox::Ok, this);
    note->setObjectName("folderProblem");
    note->setTextFormat(Qt::PlainText); // a path is data, never markup
    note->setAttribute(Qt::WA_DeleteOnClose);
    note->setWindowModality(Qt::WindowModal);
    note->open();
}

} // namespace bramwick
