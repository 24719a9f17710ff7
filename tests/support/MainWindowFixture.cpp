#include "tests/support/MainWindowFixture.h"

#include "app/PreviewSlider.h"
#include "app/skin/ISkinScrollBar.h"
#include "app/skin/Skin.h"
#include "app/skin/SkinObject.h"
#include "core/RowSelection.h"
#include "platform/MulDiv.h"
#include "tests/support/OggFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cmath>

void MainWindowFixture::TearDown() {
    folderDialog.reset();
    main.reset();
}

std::unique_ptr<Tfm_main> MainWindowFixture::makeWindow() {
    return std::make_unique<Tfm_main>(desktop, settingsPath());
}

void MainWindowFixture::open(const QString& skin) {
    ASSERT_TRUE(dir.isValid());
    TearDown();
    main = makeWindow();
    folderDialog = std::make_unique<Tfm_dir>(main->dialogContext());
    main->setDialogs(nullptr, folderDialog.get(), nullptr, nullptr);
    if (!skin.isEmpty())
        main->setSkinFile(skin);
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    ASSERT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("\n").toStdString();
}

void MainWindowFixture::writeSettings(const QByteArray& text) {
    QFile ini(settingsPath());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(text);
}

QString MainWindowFixture::makeOutputFolder() {
    const QString out = dir.filePath(QStringLiteral("out")) + QLatin1Char('/');
    QDir().mkpath(out);
    return out;
}

QString MainWindowFixture::ogg(const QString& name, double seconds, QStringList comments,
                               double frequency) {
    OggFixture f = OggFixture::Tone(seconds, frequency, 8000, 1);
    f.comments = std::move(comments);
    QDir().mkpath(QFileInfo(dir.filePath(name)).path());
    return f.write(dir.filePath(name));
}

void MainWindowFixture::addFiles(const QStringList& paths) {
    desktop.openFilesAnswers.push_back(paths);
    click("addfile");
}

void MainWindowFixture::click(const char* name) {
    main->Skin1Click(QString::fromLatin1(name));
}

void MainWindowFixture::mouseClick(const char* name) {
    SkinObject* object = main->Skin1->FindObject(QString::fromLatin1(name));
    ASSERT_FALSE(object->isDetached()) << name;
    QTest::mouseClick(main->Skin1, Qt::LeftButton, {}, object->currentRect().center());
}

QString MainWindowFixture::skinText(const char* name) {
    return main->Skin1->FindObject(QString::fromLatin1(name))->text();
}

QStringList MainWindowFixture::captions() {
    QStringList out;
    for (int r = 0; r < lv().count(); ++r)
        out.append(lv().text(r, 0));
    return out;
}

QStringList MainWindowFixture::segmentRows() {
    QStringList out;
    for (int r = 0; r < lvTime().count(); ++r)
        out.append(lvTime().row(r).join('|'));
    return out;
}

QString MainWindowFixture::total() {
    auto* skin = dynamic_cast<SkinObject*>(main->skinObjects().tataltime);
    return skin ? skin->text() : QString();
}

int MainWindowFixture::selectedFile() {
    return RowSelection(main->lvSelection()).selected();
}

void MainWindowFixture::selectFile(int row) {
    RowSelection(main->lvSelection()).select(row);
    main->lvClick();
}

void MainWindowFixture::selectSegment(int row) {
    RowSelection(main->lvTimeSelection()).select(row);
    main->lv_timeClick();
}

ISkinScrollBar& MainWindowFixture::pb() {
    return *main->skinObjects().pb;
}

void MainWindowFixture::placeAt(int seconds, int duration) {
    pb().SetPosition(MulDiv(seconds, main->previewSlider().UsableRange(), duration));
}

void MainWindowFixture::slideTo(double seconds, double duration) {
    const int usable = pb().GetMax() - pb().GetThumbSize();
    pb().SetPosition(static_cast<int>(std::ceil(usable * seconds / duration - 1e-9)));
}

void MainWindowFixture::confirmSegment(int begin, int end, int duration) {
    placeAt(begin, duration);
    click("Begin");
    placeAt(end, duration);
    click("End");
    click("Ok");
}
