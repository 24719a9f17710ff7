#pragma once

// The real main window with a scripted desktop and the real folder dialog,
// and helpers to make Ogg files, click the skin and read the lists.
#include "app/PreviewSlider.h"
#include "app/Tfm_main.h"
#include "app/dialogs/Tfm_dir.h"
#include "app/skin/ISkinScrollBar.h"
#include "app/skin/SkinObject.h"
#include "core/ReportListModel.h"
#include "core/RowSelection.h"
#include "platform/MulDiv.h"
#include "tests/support/OggFixture.h"
#include "tests/support/ScriptedDesktop.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

class MainWindowFixture : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedDesktop desktop;
    std::unique_ptr<Tfm_main> main;
    std::unique_ptr<Tfm_dir> folderDialog;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        main = std::make_unique<Tfm_main>(desktop, dir.filePath("Velmora.ini"));
        folderDialog = std::make_unique<Tfm_dir>(main->dialogContext());
        main->setDialogs(nullptr, folderDialog.get(), nullptr, nullptr);
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
        ASSERT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("\n").toStdString();
    }
    void TearDown() override {
        folderDialog.reset();
        main.reset();
    }

    QString ogg(const QString& name, double seconds, QStringList comments = {}) {
        OggFixture f = OggFixture::Tone(seconds, 0, 8000, 1);
        f.comments = std::move(comments);
        QDir().mkpath(QFileInfo(dir.filePath(name)).path());
        return f.write(dir.filePath(name));
    }
    void click(const char* name) { main->Skin1Click(QString::fromLatin1(name)); }
    void addFiles(const QStringList& paths) {
        desktop.openFilesAnswers.push_back(paths);
        click("addfile");
    }
    ReportListModel& lv() { return main->lvModel(); }
    ReportListModel& lvTime() { return main->lvTimeModel(); }
    int selectedFile() { return RowSelection(main->lvSelection()).selected(); }
    void selectFile(int row) {
        RowSelection(main->lvSelection()).select(row);
        main->lvClick();
    }
    void selectSegment(int row) {
        RowSelection(main->lvTimeSelection()).select(row);
        main->lv_timeClick();
    }
    ISkinScrollBar& pb() { return *main->skinObjects().pb; }
    void placeAt(int seconds, int duration) {
        pb().SetPosition(MulDiv(seconds, main->previewSlider().UsableRange(), duration));
    }
    QString skinText(ISkinText* object) {
        auto* skin = dynamic_cast<SkinObject*>(object);
        return skin ? skin->text() : QString();
    }
    QString total() { return skinText(main->skinObjects().tataltime); }
    QStringList captions() {
        QStringList out;
        for (int r = 0; r < lv().count(); ++r)
            out.append(lv().text(r, 0));
        return out;
    }
    QStringList segmentRows() {
        QStringList out;
        for (int r = 0; r < lvTime().count(); ++r)
            out.append(lvTime().row(r).join('|'));
        return out;
    }
};
