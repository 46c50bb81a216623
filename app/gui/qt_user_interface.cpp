// The dialogs and message boxes of the window, with Qt's widgets. The records the run fills
// (title, default name, filters with the first selected, initial folder, default extension,
// open or save) map onto QFileDialog's settings one by one; cancel gives the empty string.
#include "app/gui/qt_user_interface.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

#include <utility>

namespace tav {
namespace {

constexpr std::string_view kEveryFileOnWindows = "*.*";
constexpr std::string_view kEveryFile = "*";

// A run shows the wait cursor; a dialog or message asked in its middle shows the arrow while
// it is open.
class ArrowWhileAsking {
public:
    ArrowWhileAsking() : m_active(QGuiApplication::overrideCursor() != nullptr)
    {
        if (m_active)
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~ArrowWhileAsking()
    {
        if (m_active)
            QGuiApplication::restoreOverrideCursor();
    }
    ArrowWhileAsking(const ArrowWhileAsking&) = delete;
    ArrowWhileAsking& operator=(const ArrowWhileAsking&) = delete;

private:
    bool m_active;
};

QString fromText(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// The one existing folder named in `chosen`, or nothing.
QString singleFolder(const QStringList& chosen)
{
    if (chosen.size() != 1 || !QFileInfo(chosen.first()).isDir())
        return {};
    return chosen.first();
}

class FolderDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        // One name goes to the dialog's own checks (a missing folder is said there); several
        // are refused here, and the dialog stays open for another choice.
        if (selectedFiles().size() > 1) {
            QMessageBox::warning(this, windowTitle(), fromText(kOneFolderOnlyText));
            startAfresh();
            return;
        }
        QFileDialog::accept();
    }

private:
    // The dialog adds what is typed to what is selected in its views, so both are cleared for
    // the next choice.
    void startAfresh()
    {
        // The field first: clearing it selects the current folder, as an empty name means.
        if (auto* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            field->clear();
        for (auto* view : findChildren<QAbstractItemView*>())
            if (view->selectionModel() && (view->objectName() == "listView" || view->objectName() == "treeView"))
                view->selectionModel()->clearSelection();
    }
};

QMessageBox::Icon messageBoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        break;
    }
    return QMessageBox::Critical;
}

}  // namespace

QString fromLocalPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string toLocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString nameFilter(const FileFilter& filter)
{
    QStringList patterns;
    for (const QString& pattern : fromText(filter.pattern).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        patterns << (trimmed == QLatin1String(kEveryFileOnWindows.data(), qsizetype(kEveryFileOnWindows.size()))
                ? QString::fromLatin1(kEveryFile.data(), qsizetype(kEveryFile.size()))
                : trimmed);
    }
    // The description is kept as it stands; a blank separates it from the patterns unless it
    // already ends with one.
    QString description = fromText(filter.description);
    if (!description.isEmpty() && !description.endsWith(QLatin1Char(' ')))
        description += QLatin1Char(' ');
    return description + QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

std::unique_ptr<QFileDialog> makeFileDialog(const FileDialogRequest& request, QWidget* owner)
{
    auto dialog = std::make_unique<QFileDialog>(owner, fromText(request.title));
    // Options before anything else: they decide which dialog the settings go to.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    const bool open = request.mode == FileDialogMode::Open;
    dialog->setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    // Open: only an existing file; save: any name, and the dialog asks before it returns an
    // existing one (QFileDialog's default unless DontConfirmOverwrite is set).
    dialog->setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    QStringList filters;
    for (const FileFilter& filter : request.filters)
        filters << nameFilter(filter);
    if (!filters.isEmpty()) {
        dialog->setNameFilters(filters);
        dialog->selectNameFilter(filters.first());
    }
    if (!request.initialFolder.empty())
        dialog->setDirectory(fromLocalPath(request.initialFolder));
    dialog->setDefaultSuffix(fromText(request.defaultExtension));
    // After the folder: a bare name is taken in the dialog's current folder.
    if (!request.defaultFileName.empty())
        dialog->selectFile(fromLocalPath(request.defaultFileName));
    return dialog;
}

std::unique_ptr<QFileDialog> makeFolderDialog(const QString& title, QWidget* owner)
{
    auto dialog = std::make_unique<FolderDialog>(owner, title);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setDirectory(QDir::homePath());
    return dialog;
}

std::string QtUserInterface::finish(const QFileDialog& dialog, int result)
{
    if (result != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return {};
    if (m_owner)
        m_owner->window()->repaint();
    return toLocalPath(chosen.first());
}

std::string QtUserInterface::ShowFileDialog(const FileDialogRequest& request)
{
    ArrowWhileAsking arrow;
    const std::unique_ptr<QFileDialog> dialog = makeFileDialog(request, m_owner);
    const int result = dialog->exec();
    return finish(*dialog, result);
}

std::string QtUserInterface::BrowseForFolder(const std::string& title)
{
    ArrowWhileAsking arrow;
    const std::unique_ptr<QFileDialog> dialog = makeFolderDialog(fromText(title), m_owner);
    const int result = dialog->exec();
    // The dialog has checked its choice; checked again here, since the run writes into it.
    if (result != QDialog::Accepted || singleFolder(dialog->selectedFiles()).isEmpty())
        return {};
    const std::string folder = finish(*dialog, result);
    // No separator at the end, except for the root itself.
    const QString clean = QDir::cleanPath(fromLocalPath(folder));
    if (!QFileInfo(clean).isDir())
        return {};
    return toLocalPath(clean);
}

void QtUserInterface::showMessage(const UserMessage& message)
{
    ArrowWhileAsking arrow;
    QMessageBox box(messageBoxIcon(message.icon), fromText(message.title), fromText(message.text), QMessageBox::Ok,
        m_owner);
    if (!message.detail.empty())
        box.setInformativeText(fromText(message.detail));
    box.exec();
}

}  // namespace tav
