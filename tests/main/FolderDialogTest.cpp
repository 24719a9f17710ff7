// The output folder dialog and the About box on a temporary folder tree.
#include "app/dialogs/Tfm_about.h"
#include "platform/SettingsFile.h"
#include "tests/support/MainWindowFixture.h"

#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class FolderDialogTest : public MainWindowFixture {
protected:
    QTemporaryDir tree;
    QString music;
    QString before;

    void SetUp() override {
        music = QDir::cleanPath(tree.filePath("Music"));
        QDir().mkpath(music);
        QDir().mkpath(tree.filePath("Other"));
        MainWindowFixture::SetUp();
        before = main->state().OutputDir;
    }

    QString savedDir() const {
        return SettingsFile(dir.filePath("Velmora.ini")).ReadString("Output", "Dir", "<none>");
    }
    // Shows the dialog in `mode`, selects `path` (when given) and presses Ok.
    void okOn(AppState::FolderMode mode, const QString& path) {
        main->state().FolderDialogMode = mode;
        folderDialog->show();
        if (!path.isEmpty()) {
            ASSERT_TRUE(folderDialog->SelectPath(path)) << path.toStdString();
        }
        QTest::mouseClick(folderDialog->btn_ok, Qt::LeftButton);
    }
    void expectOutputUnchanged() {
        EXPECT_EQ(main->state().OutputDir, before);
        EXPECT_EQ(main->edt_dir->text(), before);
        EXPECT_EQ(savedDir(), "<none>");
    }
};

TEST_F(FolderDialogTest, OkInOutputModeSavesTheFolderAndAddsTheFinalSlash) {
    main->state().ChosenFolder = "earlier";
    okOn(AppState::FolderMode::Output, music);
    EXPECT_EQ(folderDialog->result(), QDialog::Accepted);
    EXPECT_FALSE(folderDialog->isVisible());
    EXPECT_EQ(savedDir(), music);
    EXPECT_EQ(main->edt_dir->text(), music);
    EXPECT_EQ(main->state().OutputDir, music + "/");
    EXPECT_EQ(main->state().ChosenFolder, "earlier") << "only the add mode hands a folder back";
}

TEST_F(FolderDialogTest, TheRootGetsNoSecondSlash) {
    if (!QFileInfo("/").isWritable())
        GTEST_SKIP() << "needs a writable root folder";
    okOn(AppState::FolderMode::Output, "/");
    EXPECT_EQ(main->state().OutputDir, "/");
    EXPECT_EQ(savedDir(), "/");
}

TEST_F(FolderDialogTest, OkInAddModeHandsTheFolderBackAndLeavesTheOutputAlone) {
    okOn(AppState::FolderMode::AddFolder, music);
    EXPECT_EQ(folderDialog->result(), QDialog::Accepted);
    EXPECT_EQ(main->state().ChosenFolder, music);
    expectOutputUnchanged();
}

TEST_F(FolderDialogTest, CancelAndClosingChangeNothingInEitherMode) {
    for (auto mode : {AppState::FolderMode::Output, AppState::FolderMode::AddFolder}) {
        main->state().FolderDialogMode = mode;
        main->state().ChosenFolder = "stale";
        folderDialog->show();
        folderDialog->SelectPath(music);
        QTest::mouseClick(folderDialog->btn_cancel, Qt::LeftButton);
        EXPECT_EQ(folderDialog->result(), QDialog::Rejected);
        EXPECT_TRUE(main->state().ChosenFolder.isEmpty());

        main->state().ChosenFolder = "stale";
        folderDialog->show();
        folderDialog->close();
        EXPECT_TRUE(main->state().ChosenFolder.isEmpty()) << "the title-bar button is Cancel";
        expectOutputUnchanged();
    }
}

TEST_F(FolderDialogTest, OkWithoutAFolderKeepsTheDialogOpen) {
    folderDialog->ShellTreeView1->clearSelection();
    folderDialog->ShellTreeView1->setCurrentIndex(QModelIndex());
    okOn(AppState::FolderMode::Output, QString());
    EXPECT_TRUE(folderDialog->isVisible());
    expectOutputUnchanged();
    folderDialog->hide();
}

TEST_F(FolderDialogTest, AFolderThatCannotTakeFilesIsRefusedWithAMessage) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    const QString locked = tree.filePath("Locked");
    QDir().mkpath(locked);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    okOn(AppState::FolderMode::Output, locked);
    EXPECT_TRUE(folderDialog->isVisible());
    ASSERT_EQ(desktop.informations.size(), 1);
    EXPECT_TRUE(desktop.informations.first().contains("Locked"));
    expectOutputUnchanged();
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    folderDialog->hide();
}

TEST_F(FolderDialogTest, AFolderRemovedSinceItWasSelectedIsMadeAgain) {
    const QString gone = tree.filePath("Gone");
    QDir().mkpath(gone);
    main->state().FolderDialogMode = AppState::FolderMode::Output;
    folderDialog->show();
    ASSERT_TRUE(folderDialog->SelectPath(gone));
    QDir(gone).removeRecursively();
    QTest::mouseClick(folderDialog->btn_ok, Qt::LeftButton);
    EXPECT_TRUE(QFileInfo(gone).isDir());
    EXPECT_EQ(main->state().OutputDir, gone + "/");
}

TEST_F(FolderDialogTest, EachShowingShowsTheFoldersAsTheyAreNow) {
    QDir().mkpath(music + "/Gone");
    auto* model = qobject_cast<QFileSystemModel*>(folderDialog->ShellTreeView1->model());
    ASSERT_NE(model, nullptr);
    const auto children = [&] {
        const QModelIndex parent = model->index(music);
        QStringList names;
        for (int row = 0; row < model->rowCount(parent); ++row)
            names << model->index(row, 0, parent).data().toString();
        names.sort();
        return names;
    };
    folderDialog->show();
    ASSERT_TRUE(folderDialog->SelectPath(music));
    folderDialog->ShellTreeView1->expand(model->index(music));
    ASSERT_TRUE(QTest::qWaitFor([&] { return children() == QStringList{"Gone"}; }, 10000));
    folderDialog->hide();

    // Made and removed by another program while the dialog was closed.
    QDir().mkpath(music + "/Later");
    QDir().rmdir(music + "/Gone");
    folderDialog->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return children() == QStringList{"Later"}; }, 10000))
        << children().join(",").toStdString();
}

TEST_F(FolderDialogTest, NewFolderIsMadeOnceUnderTheSelectedFolder) {
    folderDialog->show();
    ASSERT_TRUE(folderDialog->SelectPath(music));
    QTest::mouseClick(folderDialog->Button1, Qt::LeftButton);
    EXPECT_TRUE(QFileInfo(music + "/New Folder").isDir());
    EXPECT_EQ(folderDialog->SelectedPath(), music) << "the selection stays on the parent";
    QTest::mouseClick(folderDialog->Button1, Qt::LeftButton);
    EXPECT_EQ(QDir(music).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList({"New Folder"}));
    EXPECT_TRUE(desktop.informations.isEmpty());
    EXPECT_TRUE(desktop.errors.isEmpty());
    // The new folder shows in the tree, ready to be chosen.
    ASSERT_TRUE(folderDialog->SelectPath(music + "/New Folder"));
    QTest::mouseClick(folderDialog->btn_ok, Qt::LeftButton);
    EXPECT_EQ(main->state().OutputDir, music + "/New Folder/");
}

TEST_F(FolderDialogTest, AFailedSaveIsShownAndTheFolderStillEndsInASlash) {
    // A settings file below a plain file can never be written.
    QFile blocker(dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ScriptedDesktop failing;
    Tfm_main window(failing, dir.filePath("blocker/Velmora.ini"));
    Tfm_dir folders(window.dialogContext());
    window.show();
    QCoreApplication::processEvents();
    const QString shown = window.edt_dir->text();
    window.state().FolderDialogMode = AppState::FolderMode::Output;
    folders.show();
    ASSERT_TRUE(folders.SelectPath(music));
    QTest::mouseClick(folders.btn_ok, Qt::LeftButton);
    ASSERT_EQ(failing.errors.size(), 1);
    EXPECT_EQ(window.state().OutputDir, music + "/");
    EXPECT_EQ(window.edt_dir->text(), shown) << "the steps after the save are not carried out";
    EXPECT_TRUE(folders.isVisible());
}

TEST_F(FolderDialogTest, DialogsOpenBesideTheMainWindowWithTheirCaptions) {
    main->move(200, 120);
    desktop.onModal = [&](QWidget& shown) {
        EXPECT_EQ(shown.pos(), main->pos() + QPoint(10, 10));
        EXPECT_EQ(shown.windowTitle(), "Output Directory");
        return 0;
    };
    main->Skin1Click("dir");
    EXPECT_EQ(desktop.modalCount, 1);
    EXPECT_EQ(folderDialog->size(), QSize(286, 281));
    EXPECT_EQ(folderDialog->Button1->text(), "New Folder");
    EXPECT_EQ(folderDialog->btn_ok->text(), "Ok");
    EXPECT_EQ(folderDialog->btn_cancel->text(), "Cancel");
    auto* model = qobject_cast<QFileSystemModel*>(folderDialog->ShellTreeView1->model());
    ASSERT_NE(model, nullptr);
    EXPECT_FALSE(model->filter() & QDir::Files) << "folders only";

    Tfm_about about(main->dialogContext());
    about.show();
    EXPECT_EQ(about.pos(), main->pos() + QPoint(10, 10));
    EXPECT_EQ(about.windowTitle(), "fm_about");
    EXPECT_EQ(about.size(), QSize(262, 272));
    EXPECT_EQ(about.lab_name->text(), "Tarnwell");
    EXPECT_EQ(about.lab_version->text(), "Version: 1.00");
    EXPECT_EQ(about.lab_description->text(), "Cut a new small file from a large audio file. ");
    EXPECT_EQ(about.Label1->text(), "Website:  ");
    EXPECT_EQ(about.Label3->text(), "E-mail:  ");
    EXPECT_TRUE(about.Label2->font().underline());
    EXPECT_FALSE(about.Image1->pixmap().isNull());
    QTest::mouseClick(about.Label2, Qt::LeftButton);
    QTest::mouseClick(about.Label4, Qt::LeftButton);
    ASSERT_EQ(desktop.openedUrls.size(), 2u);
    EXPECT_EQ(desktop.openedUrls[0], QUrl("https://tarnwell.org/"));
    EXPECT_EQ(desktop.openedUrls[1], QUrl("mailto:support@tarnwell.org"));
}

} // namespace
