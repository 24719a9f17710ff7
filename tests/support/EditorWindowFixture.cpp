#include "tests/support/EditorWindowFixture.h"

#include "app/WaveformPanel.h"
#include "app/editor/WaveformEditorHost.h"
#include "engine/WaveformBuilder.h"
#include "tests/support/RealRecording.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTest>

#include <cmath>

QString EditorWindowFixture::skin() const {
    return QStringLiteral(TARNWELL_BIN_DIR "/mp3enc.dll");
}

void EditorWindowFixture::SetUp() {
    open(skin());
    path = RealRecording();
    addFiles({path});
    ASSERT_EQ(lv().count(), 1);
    selectFile(0);
    rate = main->state().JobList[0].SampleRate;
}

WaveformEditor& EditorWindowFixture::editor() {
    return *main->waveformEditor().editor();
}

listrecord& EditorWindowFixture::record() {
    return main->state().JobList[0];
}

void EditorWindowFixture::openEditor() {
    QAction* item = main->p_action->findChild<QAction*>("EditWaveform1Click");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->text(), "Edit waveform…");
    item->trigger();
    ASSERT_TRUE(main->waveformEditor().editor());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor()));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return main->waveform().builder().overview(path) != nullptr; }, Deadline));
    editor().sync();
    focusEditor();
}

void EditorWindowFixture::focusEditor() {
    editor().activateWindow();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QGuiApplication::focusWindow() == editor().windowHandle(); }, Deadline));
    canvas().setFocus();
}

void EditorWindowFixture::key(QWidget* target, Qt::Key k, Qt::KeyboardModifiers m) {
    QTest::keyClick(target, k, m);
    QCoreApplication::processEvents();
}

int EditorWindowFixture::xOf(std::int64_t frame) {
    return static_cast<int>(std::lround(canvas().axis().xOf(frame)));
}

void EditorWindowFixture::drag(int fromX, int toX, Qt::KeyboardModifiers m) {
    drag(&canvas(), QPoint(fromX, laneY()), QPoint(toX, laneY()), m);
}

void EditorWindowFixture::drag(QWidget* on, QPoint from, QPoint to, Qt::KeyboardModifiers m) {
    QTest::mousePress(on, Qt::LeftButton, m, from);
    QTest::mouseMove(on, (from + to) / 2);
    QTest::mouseMove(on, to);
    QTest::mouseRelease(on, Qt::LeftButton, m, to);
    QCoreApplication::processEvents();
}

void EditorWindowFixture::typeInTable(int row, int column, const QString& text) {
    QTableView& table = editor().table();
    const QModelIndex at = table.model()->index(row, column);
    table.setFocus();
    table.setCurrentIndex(at);
    table.edit(at);
    auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_TRUE(field);
    field->selectAll();
    QTest::keyClicks(field, text);
    // The view takes what was typed once the event loop turns.
    key(field, Qt::Key_Return);
}

void EditorWindowFixture::shoot(const QString& name) {
    if (const QString shots = qEnvironmentVariable("TARNWELL_SCREENSHOT_DIR"); !shots.isEmpty()) {
        EXPECT_TRUE(editor().grab().save(QDir(shots).filePath(name)));
    }
}
