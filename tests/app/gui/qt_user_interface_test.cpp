// The window's dialogs and message boxes, shown for real on the offscreen platform and
// answered from inside their own event loops: what they are set to, what they return, and
// the questions the file system makes them ask.
#include "../app_test_support.h"
#include "app/gui/main_window.h"
#include "app/gui/qt_user_interface.h"
#include "app/production_table.h"
#include "gui_test_support.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QPushButton>

#include <gtest/gtest.h>

#include <fstream>
#include <set>

namespace tav {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::whenModal;

FileDialogRequest openRequest(const fs::path& folder)
{
    return {FileDialogMode::Open, "Abrir", "Files", {{"Imagenes ", "*.jpg;*.bmp;*.gif"}, {"Todos los archivos", "*.*"}},
        folder.string(), "jpg"};
}

FileDialogRequest saveRequest(const fs::path& folder)
{
    return {FileDialogMode::Save, "Save image of intro ", "IntroLogo", {{"Imagen OZJ ", "*.ozj"}}, folder.string(),
        "ozj"};
}

void touch(const fs::path& path) { std::ofstream(path) << "x"; }

// Types `name` into the dialog's name field and accepts it as its Open or Save button does.
void typeAndAccept(QFileDialog* dialog, const QString& name)
{
    auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(field, nullptr);
    field->setText(name);
    QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
}

TEST(NameFilter, ShowsTheDescriptionAsItStandsAndThePatternsThePlatformsWay)
{
    struct Row {
        FileFilter filter;
        const char* expected;
    };
    const Row rows[] = {
        {{"Imagenes ", "*.jpg;*.bmp;*.gif"}, "Imagenes (*.jpg *.bmp *.gif)"},
        {{"Todos los archivos", "*.*"}, "Todos los archivos (*)"},
        {{"Imagen OZJ ", "*.ozj"}, "Imagen OZJ (*.ozj)"},
        {{"Mixed", " *.a ; *.* ;;*.b"}, "Mixed (*.a * *.b)"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(nameFilter(row.filter), QLatin1String(row.expected)) << row.filter.description;
}

TEST(FileDialog, IsSetUpFromTheRequest)
{
    TempDir dir;
    struct Row {
        FileDialogRequest request;
        QFileDialog::AcceptMode acceptMode;
        QFileDialog::FileMode fileMode;
        QStringList filters;
    };
    const Row rows[] = {
        {openRequest(dir.path()), QFileDialog::AcceptOpen, QFileDialog::ExistingFile,
            {QStringLiteral("Imagenes (*.jpg *.bmp *.gif)"), QStringLiteral("Todos los archivos (*)")}},
        {saveRequest(dir.path()), QFileDialog::AcceptSave, QFileDialog::AnyFile,
            {QStringLiteral("Imagen OZJ (*.ozj)")}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request.title);
        const auto dialog = makeFileDialog(row.request, nullptr);
        EXPECT_EQ(dialog->windowTitle().toStdString(), row.request.title);
        EXPECT_EQ(dialog->acceptMode(), row.acceptMode);
        EXPECT_EQ(dialog->fileMode(), row.fileMode);
        EXPECT_EQ(dialog->nameFilters(), row.filters);
        EXPECT_EQ(dialog->selectedNameFilter(), row.filters.first());
        EXPECT_EQ(dialog->directory().absolutePath().toStdString(), dir.path().string());
        EXPECT_EQ(dialog->defaultSuffix().toStdString(), row.request.defaultExtension);
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        // The default name is in the name field, in the initial folder, with the default
        // extension it would be given.
        const std::string name = row.request.defaultFileName + "." + row.request.defaultExtension;
        EXPECT_EQ(dialog->selectedFiles(), QStringList {QString::fromStdString((dir.path() / name).string())});
    }
}

TEST(FileDialog, StartsInTheRequestedFolder)
{
    TempDir dir;
    fs::create_directories(dir / "pictures");
    QtUserInterface ui(nullptr);
    std::string started;
    whenModal<QFileDialog>([&](QFileDialog* d) {
        started = d->directory().absolutePath().toStdString();
        d->reject();
    });
    ui.ShowFileDialog(saveRequest(dir / "pictures"));
    EXPECT_EQ(started, (dir / "pictures").string());
}

TEST(FileDialog, CancelGivesTheEmptyString)
{
    TempDir dir;
    QtUserInterface ui(nullptr);
    for (const FileDialogRequest& request : {openRequest(dir.path()), saveRequest(dir.path())}) {
        whenModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
        EXPECT_EQ(ui.ShowFileDialog(request), "") << request.title;
    }
    whenModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_EQ(ui.BrowseForFolder("Save 3 logo parts"), "");
}

TEST(FileDialog, NameWithoutExtensionGetsTheDefaultOne)
{
    TempDir dir;
    touch(dir / "lake.jpg");
    QtUserInterface ui(nullptr);
    whenModal<QFileDialog>([](QFileDialog* d) { typeAndAccept(d, QStringLiteral("lake")); });
    EXPECT_EQ(ui.ShowFileDialog(openRequest(dir.path())), (dir / "lake.jpg").string());
    whenModal<QFileDialog>([](QFileDialog* d) { typeAndAccept(d, QStringLiteral("IntroLogo")); });
    EXPECT_EQ(ui.ShowFileDialog(saveRequest(dir.path())), (dir / "IntroLogo.ozj").string());
    // A name that has an extension keeps it.
    whenModal<QFileDialog>([](QFileDialog* d) { typeAndAccept(d, QStringLiteral("logo.bin")); });
    EXPECT_EQ(ui.ShowFileDialog(saveRequest(dir.path())), (dir / "logo.bin").string());
}

// The open dialog does not accept a file that is not there: it says so and stays open.
TEST(FileDialog, OpenRefusesAMissingFile)
{
    TempDir dir;
    QtUserInterface ui(nullptr);
    bool warned = false;
    bool stayedOpen = false;
    whenModal<QFileDialog>([&](QFileDialog* d) {
        whenModal<QMessageBox>([&](QMessageBox* box) {
            warned = true;
            box->accept();
        });
        typeAndAccept(d, QStringLiteral("missing"));
        stayedOpen = d->isVisible();
        d->reject();
    });
    EXPECT_EQ(ui.ShowFileDialog(openRequest(dir.path())), "");
    EXPECT_TRUE(warned);
    EXPECT_TRUE(stayedOpen);
}

// The save dialog asks before it returns an existing file (the default extension counted).
TEST(FileDialog, SaveAsksBeforeReplacing)
{
    TempDir dir;
    touch(dir / "IntroLogo.ozj");
    QtUserInterface ui(nullptr);
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        QString question;
        whenModal<QFileDialog>([&](QFileDialog* d) {
            whenModal<QMessageBox>([&](QMessageBox* box) {
                question = box->text();
                box->button(answer)->click();
            });
            typeAndAccept(d, QStringLiteral("IntroLogo"));
            if (d->isVisible())
                d->reject();
        });
        const std::string chosen = ui.ShowFileDialog(saveRequest(dir.path()));
        EXPECT_TRUE(question.contains(QStringLiteral("IntroLogo.ozj"))) << question.toStdString();
        EXPECT_EQ(chosen, answer == QMessageBox::Yes ? (dir / "IntroLogo.ozj").string() : "");
    }
}

TEST(FolderBrowser, ReturnsFoldersOnlyWithoutATrailingSeparator)
{
    TempDir dir;
    fs::create_directories(dir / "parts");
    touch(dir / "file.txt");
    QtUserInterface ui(nullptr);
    const auto browse = [&](const QString& choice) {
        whenModal<QFileDialog>([&](QFileDialog* d) {
            EXPECT_EQ(d->windowTitle(), QStringLiteral("Saving 6 logo parts"));
            EXPECT_EQ(d->fileMode(), QFileDialog::Directory);
            EXPECT_TRUE(d->testOption(QFileDialog::ShowDirsOnly));
            d->setDirectory(QString::fromStdString(dir.path().string()));
            typeAndAccept(d, choice);
            if (d->isVisible())
                d->reject();
        });
        return ui.BrowseForFolder("Saving 6 logo parts");
    };
    EXPECT_EQ(browse(QStringLiteral("parts")), (dir / "parts").string());
    EXPECT_EQ(browse(QString::fromStdString((dir / "parts").string() + "/")), (dir / "parts").string());
    EXPECT_EQ(browse(QStringLiteral("/")), "/");
    EXPECT_EQ(browse(QStringLiteral("file.txt")), "");
}

// The name field can hold several quoted names; the dialog would return the first of them (the
// root folder, in the case found by hand) as the choice. It says so and asks again instead.
TEST(FolderBrowser, SeveralNamesAreRefusedAndTheDialogAsksAgain)
{
    TempDir dir;
    fs::create_directories(dir / "parts");
    fs::create_directories(dir / "other");
    QtUserInterface ui(nullptr);
    for (const QString& several : {QStringLiteral("\"/\" \"parts\""), QStringLiteral("\"parts\" \"other\"")}) {
        QString warning;
        bool stayedOpen = false;
        whenModal<QFileDialog>([&](QFileDialog* d) {
            d->setDirectory(QString::fromStdString(dir.path().string()));
            whenModal<QMessageBox>([&](QMessageBox* box) {
                warning = box->text();
                box->accept();
            });
            typeAndAccept(d, several);
            stayedOpen = d->isVisible();
            // Asked again, the user names one folder.
            typeAndAccept(d, QStringLiteral("parts"));
            if (d->isVisible())
                d->reject();
        });
        EXPECT_EQ(ui.BrowseForFolder("Saving 6 logo parts"), (dir / "parts").string()) << several.toStdString();
        EXPECT_TRUE(stayedOpen) << several.toStdString();
        EXPECT_EQ(warning, QString::fromUtf8(kOneFolderOnlyText.data(), qsizetype(kOneFolderOnlyText.size())));
    }
}

// The whole loading-screen run from the window with its own dialogs: the parts land in the one
// folder chosen, and the message says where and how many.
TEST(FolderBrowser, TheWindowsRunWritesOnlyIntoTheFolderChosen)
{
    TempDir dir;
    const fs::path app = dir / "app";
    const fs::path parts = dir / "parts";
    fs::create_directories(app);
    fs::create_directories(parts);
    const fs::path picture = test::writeBmp(dir, "picture.bmp", 64, 48, [](int x, int y) { return RGB(x, y, 7); });
    QtUserInterface ui(nullptr);
    Main window(app, &ui);
    window.TxtArchivo()->setText(QString::fromStdString(picture.string()));
    window.OptVersion(2)->setChecked(true);
    window.OptType(1)->setChecked(true);
    QString detail;
    whenModal<QFileDialog>([&](QFileDialog* d) {
        d->setDirectory(QString::fromStdString(dir.path().string()));
        whenModal<QMessageBox>([&](QMessageBox* box) { box->accept(); });
        typeAndAccept(d, QStringLiteral("\"/\" \"parts\""));
        typeAndAccept(d, QString::fromStdString(parts.string()));
        if (d->isVisible())
            d->reject();
        whenModal<QMessageBox>([&](QMessageBox* box) {
            detail = box->informativeText();
            box->accept();
        });
    });
    window.CmdAceptar()->click();
    std::set<std::string> expected, written;
    for (const PartLayout& part : seasonLayout(2).parts)
        expected.insert(std::string(part.ozjName.substr(1)));
    for (const auto& entry : fs::directory_iterator(parts))
        written.insert(entry.path().filename().string());
    EXPECT_EQ(written, expected);
    EXPECT_EQ(detail, QString::fromStdString("6 files written in " + parts.string()));
}

TEST(MessageBox, ShowsTextTitleIconAndOneOkButton)
{
    QtUserInterface ui(nullptr);
    struct Row {
        MessageIcon icon;
        QMessageBox::Icon shown;
    };
    for (const Row row :
        {Row {MessageIcon::Information, QMessageBox::Information}, Row {MessageIcon::Exclamation, QMessageBox::Warning},
            Row {MessageIcon::Critical, QMessageBox::Critical}}) {
        QString text, title, detail;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QList<QAbstractButton*> buttons;
        QMessageBox::StandardButton standard = QMessageBox::NoButton;
        whenModal<QMessageBox>([&](QMessageBox* box) {
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            detail = box->informativeText();
            buttons = box->buttons();
            standard = box->standardButton(buttons.value(0));
            box->accept();
        });
        ui.showMessage({"This season not have intros in the client", "Info", row.icon, "a detail"});
        EXPECT_EQ(text, QStringLiteral("This season not have intros in the client"));
        EXPECT_EQ(title, QStringLiteral("Info"));
        EXPECT_EQ(detail, QStringLiteral("a detail"));
        EXPECT_EQ(icon, row.shown);
        EXPECT_EQ(buttons.size(), 1);
        EXPECT_EQ(standard, QMessageBox::Ok);
    }
}

// A question asked while a run shows the wait cursor shows the arrow; the wait cursor is back
// once it is answered.
TEST(MessageBox, ShowsTheArrowInTheMiddleOfARun)
{
    QtUserInterface ui(nullptr);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    int shapeWhileAsked = -1;
    whenModal<QMessageBox>([&](QMessageBox* box) {
        shapeWhileAsked = test::overrideCursorShape();
        box->accept();
    });
    ui.showMessage({"Done", "Done", MessageIcon::Information});
    EXPECT_EQ(shapeWhileAsked, int(Qt::ArrowCursor));
    EXPECT_EQ(test::overrideCursorShape(), int(Qt::WaitCursor));
    whenModal<QFileDialog>([&](QFileDialog* d) {
        shapeWhileAsked = test::overrideCursorShape();
        d->reject();
    });
    ui.BrowseForFolder("Save 3 logo parts");
    EXPECT_EQ(shapeWhileAsked, int(Qt::ArrowCursor));
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(test::overrideCursorShape(), -1);
}

}  // namespace
}  // namespace tav
