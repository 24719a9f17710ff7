// Drives the real settings dialog offscreen, over a real main window and its
// writer component, with a scripted desktop in place of the message boxes.
#include "app/Tfm_main.h"
#include "app/dialogs/RadioGroup.h"
#include "app/dialogs/Tfm_set.h"
#include "engine/ConfigureEncoder.h"
#include "engine/audio/IAudioFile2.h"
#include "platform/SettingsFile.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/ScriptedDesktop.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{' << list.join(QStringLiteral("|")).toStdString() << '}';
}

namespace {

// The main window with its file-list click counted instead of run.
class CountingMain : public Tfm_main {
public:
    using Tfm_main::Tfm_main;
    int lvClicks = 0;
    void lvClick() override { ++lvClicks; }
};

const QByteArray kDefaultEncoderKeys =
    "[mp3]\nbitrate=9\nchannel=1\nfrequency=7\nquality=5\n"
    "[MP3VBR]\nCoding Method=0\nvbr bitrate=9\nvbr quality=5\nvbrck=1\nsemb=0\n"
    "[MP3Filt]\nchHFilt=0\nchLFilt=0\nudHFiltF=30\nudHFiltW=5\nudLFiltF=15160\nudLFiltW=750\n"
    "[MP3Expert]\nBit=1\nshort=1\nallow=0\ncomply=0\ncrc=0\nath=0\nde=0\n"
    "[MP3Prest]\npreset=0\nalt=0\nrg_prest=0\nrg_alt=0\n"
    "[wav]\nmode=0\nbit=1\nchannel=1\nfrequency=8\n"
    "[wma]\nformat=9\n"
    "[ogg]\nchannel=1\nfrequency=7\nbitrate=9\nmax bitrate=9\nmin bitrate=9\nquality=300\n"
    "oggvbr=0\noggquality=0\ncopy=1\n"
    "[FLAC]\nLevel=5\n[Opus]\nBitrate=128\nComplexity=10\nApplication=0\n"
    "[M4A]\nBitrate=160\nVBR=0\nQuality=2\n";

class SettingsDialogTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString ini = dir.filePath(QStringLiteral("Velmora.ini"));
    ScriptedDesktop desktop;
    std::unique_ptr<CountingMain> main;
    Tfm_set* dlg = nullptr; // owned by the main window

    void SetUp() override { start(); }

    // A fresh program start over whatever the file holds now.
    void start() {
        main = std::make_unique<CountingMain>(desktop, ini);
        main->ReadSettings();
        dlg = new Tfm_set(main->dialogContext());
    }
    void open() {
        dlg->show();
        QCoreApplication::processEvents();
    }
    void clickNode(int index) {
        QTreeWidgetItem* node = dlg->node(index);
        ASSERT_NE(node, nullptr);
        const QRect r = dlg->TreeView1->visualItemRect(node);
        QTest::mouseClick(dlg->TreeView1->viewport(), Qt::LeftButton, {}, r.center());
    }
    void writeFile(const QByteArray& text) {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray fileText() const {
        QFile f(ini);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Replaces a field's text by typing, as a user would.
    static void retype(QWidget* field, const QString& text) {
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
};

TEST_F(SettingsDialogTest, FirstShowingWithoutAFileShowsTheDialogDefaults) {
    open();
    EXPECT_EQ(dlg->windowTitle(), "Settings");
    EXPECT_EQ(dlg->lab->text(), "Set General");
    EXPECT_TRUE(dlg->lab->font().bold());
    EXPECT_EQ(dlg->currentPage(), dlg->gb_cdgeneral);
    EXPECT_EQ(dlg->nodeIndex(dlg->TreeView1->currentItem()), 0);

    EXPECT_TRUE(dlg->rb_custom->isChecked());
    EXPECT_EQ(dlg->edt_time->text(), "60");
    EXPECT_EQ(dlg->edt_count->text(), "6");
    EXPECT_FALSE(dlg->cb_fadein->isChecked());
    EXPECT_FALSE(dlg->cb_fadeout->isChecked());
    EXPECT_EQ(dlg->cb_fadeintime->currentText(), "5s");
    EXPECT_EQ(dlg->cb_fadeouttime->currentText(), "5s");
    EXPECT_EQ(main->edt_dir->text(), main->state().OutputDir);

    EXPECT_EQ(dlg->cb_mp3_bitrate->currentText(), "128 Kbps");
    EXPECT_EQ(dlg->cb_mp3_channel->currentText(), "Stereo");
    EXPECT_EQ(dlg->cb_mp3_frequency->currentText(), "44100 Hz");
    EXPECT_EQ(dlg->edt_mp3_quality->text(), "4");
    EXPECT_EQ(dlg->ud_mp3_vbr->value(), 4);
    EXPECT_EQ(dlg->cb_mp3vbrcm->currentText(), "None");
    for (QWidget* w :
         {static_cast<QWidget*>(dlg->cb_mp3_vbr), static_cast<QWidget*>(dlg->ud_mp3_vbr),
          static_cast<QWidget*>(dlg->edt_mp3_vbr), static_cast<QWidget*>(dlg->ck_mp3_VBR),
          static_cast<QWidget*>(dlg->ck_mp3_semb)})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(dlg->ck_mp3_VBR->isChecked());
    EXPECT_FALSE(dlg->udHFiltF->isEnabled());
    EXPECT_FALSE(dlg->lb_LFiltW->isEnabled());
    EXPECT_EQ(dlg->udLFiltF->value(), 15160);
    EXPECT_FALSE(dlg->rg_prest->isEnabled());
    EXPECT_EQ(dlg->rg_alt->ItemIndex(), 0);

    EXPECT_EQ(dlg->rb_cdmode->ItemIndex(), 0);
    EXPECT_FALSE(dlg->cb_wav_frequency->isEnabled());
    EXPECT_FALSE(dlg->cb_wav_bit->isEnabled());
    EXPECT_EQ(dlg->cb_wav_frequency->currentText(), "44100 Hz");
    EXPECT_EQ(dlg->cb_wma->currentText(), "WMA9 44KHz, 128Kbps, Stereo, CBR");
    EXPECT_EQ(dlg->cb_wma->count(), 47);
    EXPECT_EQ(dlg->cb_ogg_channel->currentText(), "Stereo");
    EXPECT_EQ(dlg->cb_ogg_fre->currentText(), "44100 Hz");
    EXPECT_EQ(dlg->cb_ogg_bitrate->currentText(), "128 Kbps");
    EXPECT_EQ(dlg->edt_ogg_quality->text(), "300");
    EXPECT_FALSE(dlg->ck_oggvbr->isChecked());
    EXPECT_FALSE(dlg->ck_oggquality->isChecked());
    EXPECT_FALSE(dlg->cb_ogg_minbit->isEnabled());
    EXPECT_FALSE(dlg->ud_ogg_quality->isEnabled());
    EXPECT_TRUE(dlg->cb_ogg_bitrate->isEnabled());
    EXPECT_TRUE(dlg->ck_oggcopy->isChecked());
    // The page says what copying means: the settings above are not applied.
    EXPECT_TRUE(dlg->lb_oggcopy->isVisibleTo(dlg->gb_ogg));
    EXPECT_TRUE(dlg->lb_oggcopy->text().contains("nothing is re-encoded"));

    EXPECT_FALSE(QFile::exists(ini)) << "showing writes nothing";
}

TEST_F(SettingsDialogTest, CentredOverTheMainWindowOnlyTheFirstTime) {
    main->move(200, 150);
    open();
    const QRect mainFrame = main->frameGeometry();
    EXPECT_NEAR(dlg->frameGeometry().center().x(), mainFrame.center().x(), 1);
    EXPECT_NEAR(dlg->frameGeometry().center().y(), mainFrame.center().y(), 1);
    dlg->CancelClick();
    main->move(300, 120);
    open();
    EXPECT_EQ(dlg->pos(), QPoint(310, 130));
}

TEST_F(SettingsDialogTest, TreeNodesShowTheirPagesAndTheLastPageOutlastsCancel) {
    open();
    const char* captions[] = {"General", "MP3",     "General",      "VBR", "Filtering",
                              "Expert",  "Presets", "Command Line", "WAV", "WMA",
                              "OGG",     "FLAC",    "Opus",         "M4A", "Silence"};
    const char* titles[] = {"Set General",     "Set MP3 General",      "Set MP3 General",
                            "Set MP3 VBR",     "Set MP3 Filter",       "Set MP3 Expert",
                            "Set MP3 Presets", "Set MP3 Command Line", "Set WAV Format",
                            "Set WMA Format",  "Set OGG Format",       "Set FLAC Format",
                            "Set Opus Format", "Set M4A Format",       "Set Silence Detection"};
    QWidget* m4a = dlg->formatPage(OutputFormats::IndexOf("m4a"));
    QWidget* pages[] = {dlg->gb_cdgeneral,  dlg->gb_mp3general,
                        dlg->gb_mp3general, dlg->gb_mp3vbr,
                        dlg->gb_filter,     dlg->gb_expert,
                        dlg->gb_presets,    dlg->gb_command,
                        dlg->gb_wav,        dlg->gb_wma,
                        dlg->gb_ogg,        dlg->gb_flac,
                        dlg->gb_opus,       m4a,
                        dlg->gb_silence};
    for (int i = 0; i < Tfm_set::PageCount; ++i) {
        ASSERT_EQ(dlg->node(i)->text(0), captions[i]) << i;
        dlg->ShowSettingsPage(i);
        EXPECT_EQ(dlg->lab->text(), titles[i]);
        EXPECT_EQ(dlg->currentPage(), pages[i]);
        for (QWidget* p : pages)
            EXPECT_EQ(p->isVisible(), p == pages[i]);
    }
    dlg->ShowSettingsPage(Tfm_set::PageCount);
    dlg->ShowSettingsPage(-1);
    EXPECT_EQ(dlg->lab->text(), "Set Silence Detection") << "other indexes change nothing";

    // Clicking "MP3" opens its branch and shows the page of its child "General".
    clickNode(1);
    EXPECT_TRUE(dlg->node(1)->isExpanded());
    EXPECT_EQ(dlg->lab->text(), "Set MP3 General");
    EXPECT_EQ(dlg->currentPage(), dlg->gb_mp3general);
    clickNode(4);
    EXPECT_EQ(dlg->lab->text(), "Set MP3 Filter");

    dlg->CancelClick();
    open();
    EXPECT_EQ(dlg->lab->text(), "Set MP3 Filter") << "reopens on the page last viewed";
    clickNode(10);
    EXPECT_FALSE(dlg->node(1)->isExpanded()) << "another branch closes the MP3 branch";
}

TEST_F(SettingsDialogTest, CountAndTimeFieldsTakeDigitsOnlyAndStayAtOneOrMore) {
    open();
    // A typed letter deletes the digit before the caret.
    dlg->edt_time->setCursorPosition(2);
    QTest::keyClicks(dlg->edt_time, "5");
    EXPECT_EQ(dlg->edt_time->text(), "605");
    QTest::keyClicks(dlg->edt_time, "x");
    EXPECT_EQ(dlg->edt_time->text(), "60");
    dlg->edt_count->setCursorPosition(1);
    QTest::keyClicks(dlg->edt_count, "-");
    EXPECT_EQ(dlg->edt_count->text(), "");

    retype(dlg->edt_count, "0");
    EXPECT_EQ(dlg->edt_count->text(), "0");
    dlg->edt_countExit();
    EXPECT_EQ(dlg->edt_count->text(), "1") << "not 6";
    retype(dlg->edt_time, "");
    dlg->edt_timeExit();
    EXPECT_EQ(dlg->edt_time->text(), "60");
    retype(dlg->edt_time, "007");
    dlg->edt_timeExit();
    EXPECT_EQ(dlg->edt_time->text(), "007");

    // Leaving the field for real runs the same rule.
    QApplication::setActiveWindow(dlg);
    dlg->edt_count->setFocus();
    retype(dlg->edt_count, "0");
    dlg->edt_time->setFocus();
    EXPECT_EQ(dlg->edt_count->text(), "1");
    EXPECT_TRUE(desktop.errors.isEmpty());

    // A number past 32 bits is reported when the field is left.
    retype(dlg->edt_time, "99999999999");
    dlg->edt_count->setFocus();
    EXPECT_EQ(desktop.errors, QStringList{"'99999999999' is not a valid integer value"});
}

TEST_F(SettingsDialogTest, OkSavesEveryKeyInOrderAndHandsTheGeneralValuesToTheState) {
    open();
    main->edt_dir->setText(dir.filePath("out"));
    dlg->rb_count->click();
    retype(dlg->edt_count, "12");
    retype(dlg->edt_time, "30");
    dlg->cb_fadein->setChecked(true);
    dlg->cb_fadeintime->setCurrentIndex(19);
    dlg->cb_fadeouttime->setCurrentIndex(0);
    dlg->Button2Click();
    dlg->Ok->click();

    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_TRUE(desktop.informations.isEmpty());
    EXPECT_EQ(main->lvClicks, 1);
    const AppState& s = main->state();
    EXPECT_EQ(s.OutputDir, dir.filePath("out") + "/");
    EXPECT_EQ(s.FunctionChoice, 2);
    EXPECT_EQ(s.SplitCount, 12);
    EXPECT_EQ(s.SplitSeconds, 30);
    EXPECT_TRUE(s.FadeIn);
    EXPECT_FALSE(s.FadeOut);
    EXPECT_EQ(s.FadeInSeconds, 20);
    EXPECT_EQ(s.FadeOutSeconds, 1);
    // Default then Ok: 48000 Hz for the custom WAV frequency, 5 for both MP3
    // qualities; the main-window keys wait for the window to close.
    EXPECT_EQ(fileText(), "[Main]\nPath=" + dir.filePath("out").toUtf8() + "\n" +
                              kDefaultEncoderKeys + "[Run]\nworkers=0\n");

    // The saved values are what the next showing loads.
    start();
    open();
    EXPECT_EQ(dlg->cb_wav_frequency->currentText(), "48000 Hz");
    EXPECT_EQ(dlg->edt_mp3_quality->text(), "5");
    EXPECT_EQ(dlg->ud_mp3_vbr->value(), 5);
}

TEST_F(SettingsDialogTest, PiecesWrittenAtOnceAreAutomaticUntilSetAndOkSavesThem) {
    open();
    EXPECT_EQ(dlg->ud_workers->value(), 0);
    EXPECT_EQ(dlg->ud_workers->text(), "Automatic");
    dlg->ud_workers->setValue(3);
    dlg->Ok->click();
    EXPECT_TRUE(fileText().endsWith("[Run]\nworkers=3\n")) << fileText().toStdString();

    start();
    open();
    EXPECT_EQ(dlg->ud_workers->value(), 3);
    // ReplayGain is off until turned on; off again, it is written so.
    EXPECT_FALSE(dlg->cb_replaygain->isChecked());
    dlg->cb_replaygain->setChecked(true);
    dlg->Ok->click();
    EXPECT_TRUE(fileText().endsWith("[Run]\nworkers=3\nreplaygain=1\n"))
        << fileText().toStdString();
    start();
    open();
    EXPECT_TRUE(dlg->cb_replaygain->isChecked());
    dlg->cb_replaygain->setChecked(false);
    dlg->Ok->click();
    EXPECT_TRUE(fileText().endsWith("replaygain=0\n"));
}

TEST_F(SettingsDialogTest, PieceNamesGivingNoNameStopOkAndOthersRoundTrip) {
    open();
    EXPECT_EQ(dlg->edt_piecenames->text(), "");
    EXPECT_EQ(dlg->edt_piecenames->placeholderText(), "{n:02} - {title}");
    for (const QString bad : {" - ", "{n} {track}"}) {
        dlg->edt_piecenames->setText(bad);
        dlg->Ok->click();
        EXPECT_TRUE(dlg->isVisible()) << bad.toStdString();
    }
    ASSERT_EQ(desktop.informations.size(), 2);
    EXPECT_TRUE(desktop.informations[0].contains("nothing but separators"));
    EXPECT_TRUE(desktop.informations[1].startsWith("{track} is not a field"));
    EXPECT_FALSE(QFile::exists(ini));

    dlg->edt_piecenames->setText("{artist} - {title}");
    dlg->Ok->click();
    EXPECT_TRUE(fileText().endsWith("[Run]\nworkers=0\nPieceNames={artist} - {title}\n"));
    start();
    open();
    EXPECT_EQ(dlg->edt_piecenames->text(), "{artist} - {title}");
    // Blank again: the default.
    dlg->edt_piecenames->setText(" ");
    dlg->Ok->click();
    start();
    open();
    EXPECT_EQ(dlg->edt_piecenames->text(), "");
}

TEST_F(SettingsDialogTest, ChangingTheOggSettingsSwitchesCopyingOffUntilTickedAgain) {
    open();
    EXPECT_TRUE(dlg->ck_oggcopy->isChecked());
    dlg->cb_ogg_fre->setCurrentIndex(4);
    EXPECT_FALSE(dlg->ck_oggcopy->isChecked());
    EXPECT_EQ(dlg->lb_oggcopy->text(), Tfm_set::OggCopyOffExplanation);
    dlg->cb_ogg_fre->setCurrentIndex(7);
    dlg->ck_oggcopy->click();
    EXPECT_TRUE(dlg->ck_oggcopy->isChecked());
    EXPECT_EQ(dlg->lb_oggcopy->text(), Tfm_set::OggCopyExplanation);
    dlg->ud_ogg_quality->setValue(500);
    dlg->cb_ogg_channel->setCurrentIndex(0);
    EXPECT_FALSE(dlg->ck_oggcopy->isChecked());
    dlg->Ok->click();
    EXPECT_TRUE(fileText().contains("oggquality=0\ncopy=0\n")) << fileText().toStdString();
}

TEST_F(SettingsDialogTest, AFileFromBeforeTheCopyKeyCopiesOnlyWithTheDefaultOggSettings) {
    writeFile("[ogg]\nfrequency=4\nchannel=0\nbitrate=5\n");
    start();
    open();
    EXPECT_FALSE(dlg->ck_oggcopy->isChecked());
    EXPECT_FALSE(CopyOggPieces(SettingsFile(ini)));
    dlg->close();
    writeFile("[ogg]\nfrequency=7\n");
    EXPECT_TRUE(CopyOggPieces(SettingsFile(ini)));
    writeFile("[ogg]\nfrequency=4\ncopy=1\n");
    EXPECT_TRUE(CopyOggPieces(SettingsFile(ini)));
}

TEST_F(SettingsDialogTest, OkKeepsAFolderThatAlreadyEndsInASlashAndAnEmptyOne) {
    open();
    main->edt_dir->setText("/music/");
    dlg->OkClick();
    EXPECT_EQ(main->state().OutputDir, "/music/");
    open();
    EXPECT_EQ(main->edt_dir->text(), "/music/");
    main->edt_dir->clear();
    dlg->OkClick();
    EXPECT_EQ(main->state().OutputDir, "");
    EXPECT_TRUE(fileText().startsWith("[Main]\nPath=\n"));
}

TEST_F(SettingsDialogTest, AnOggFormatTheWriterRejectsStopsOkUnlessQualityModeIsOn) {
    open();
    clickNode(10);
    dlg->cb_ogg_fre->setCurrentIndex(8);     // 48000 Hz
    dlg->cb_ogg_bitrate->setCurrentIndex(0); // 8 kbps
    dlg->Ok->click();
    EXPECT_EQ(
        desktop.informations,
        QStringList{"This OGG format is not supported. \rYou have set too high frequency and "
                    "too low bitrate or otherwise. \rPlease adjust the frequency or bitrate."});
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->lab->text(), "Set OGG Format");
    EXPECT_FALSE(QFile::exists(ini)) << "nothing saved";
    EXPECT_EQ(main->lvClicks, 0);

    dlg->ck_oggquality->click();
    dlg->Ok->click();
    EXPECT_EQ(desktop.informations.size(), 1) << "no OGG check in quality mode";
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(fileText().contains("[ogg]\nchannel=1\nfrequency=8\nbitrate=0\n"));
    EXPECT_TRUE(fileText().contains("oggquality=1\n"));
}

TEST_F(SettingsDialogTest, AnMp3FormatTheWriterRejectsStopsOk) {
    open();
    dlg->cb_mp3_frequency->setCurrentIndex(0); // 8000 Hz
    dlg->cb_mp3_bitrate->setCurrentIndex(14);  // 320 kbps
    dlg->Ok->click();
    ASSERT_EQ(desktop.informations.size(), 1);
    EXPECT_TRUE(desktop.informations[0].startsWith("This MP3 format is not supported. \rYou have"));
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(QFile::exists(ini));
}

TEST_F(SettingsDialogTest, AnOversizedNumberStopsOkAfterTheFolderAndNothingIsWritten) {
    open();
    main->edt_dir->setText("/music");
    retype(dlg->edt_time, "45");
    retype(dlg->edt_count, "99999999999");
    dlg->Ok->click();
    EXPECT_EQ(desktop.errors, QStringList{"'99999999999' is not a valid integer value"});
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(main->state().OutputDir, "/music/");
    EXPECT_EQ(main->state().SplitSeconds, 45);
    EXPECT_EQ(main->state().SplitCount, 6);
    EXPECT_FALSE(QFile::exists(ini));
}

TEST_F(SettingsDialogTest, OkMendsAZeroCountLeftInTheFieldByTheEnterKey) {
    open();
    retype(dlg->edt_count, "0");
    retype(dlg->edt_time, "");
    QTest::keyClick(dlg->edt_time, Qt::Key_Return); // the default button, focus never moved
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(main->state().SplitCount, 1);
    EXPECT_EQ(main->state().SplitSeconds, 60);
}

TEST_F(SettingsDialogTest, DefaultThenCancelChangesNothing) {
    writeFile("[mp3]\nquality=2\n[wav]\nmode=2\nfrequency=3\n[ogg]\noggvbr=1\ncopy=0\n");
    start();
    open();
    EXPECT_FALSE(dlg->ck_oggcopy->isChecked());
    const AppState before = main->state();
    dlg->Button2Click();
    EXPECT_TRUE(dlg->ck_oggcopy->isChecked());
    EXPECT_EQ(dlg->edt_mp3_quality->text(), "5");
    EXPECT_EQ(dlg->cb_wav_frequency->currentText(), "48000 Hz");
    EXPECT_FALSE(dlg->cb_wav_frequency->isEnabled());
    EXPECT_FALSE(dlg->ck_oggvbr->isChecked());
    EXPECT_FALSE(dlg->cb_ogg_minbit->isEnabled());
    EXPECT_TRUE(dlg->ck_oggquality->isEnabled());
    dlg->Cancel->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(fileText(),
              "[mp3]\nquality=2\n[wav]\nmode=2\nfrequency=3\n[ogg]\noggvbr=1\ncopy=0\n");
    EXPECT_EQ(main->state().SplitSeconds, before.SplitSeconds);
    EXPECT_EQ(main->state().OutputDir, before.OutputDir);
    EXPECT_EQ(main->lvClicks, 0);

    open();
    EXPECT_EQ(dlg->edt_mp3_quality->text(), "2") << "the next showing reloads the file";
    EXPECT_EQ(dlg->cb_wav_frequency->currentText(), "16000 Hz");
    EXPECT_TRUE(dlg->cb_wav_frequency->isEnabled());
    EXPECT_TRUE(dlg->ck_oggvbr->isChecked());
    EXPECT_FALSE(dlg->ck_oggcopy->isChecked());
}

TEST_F(SettingsDialogTest, DefaultLeavesTheGeneralAndCommandLinePagesAlone) {
    open();
    dlg->rb_time->click();
    retype(dlg->edt_time, "15");
    dlg->cb_fadeout->setChecked(true);
    dlg->txtCommLine->setPlainText("-b 64");
    dlg->Button2Click();
    EXPECT_TRUE(dlg->rb_time->isChecked());
    EXPECT_EQ(dlg->edt_time->text(), "15");
    EXPECT_TRUE(dlg->cb_fadeout->isChecked());
    EXPECT_EQ(dlg->txtCommLine->toPlainText(), "-b 64");
}

TEST_F(SettingsDialogTest, VbrControlsFollowTheCodingMethodAlsoAfterDefault) {
    open();
    clickNode(3);
    dlg->cb_mp3vbrcm->setCurrentIndex(3);
    EXPECT_TRUE(dlg->cb_mp3_vbr->isEnabled());
    EXPECT_TRUE(dlg->edt_mp3_vbr->isEnabled());
    EXPECT_TRUE(dlg->ck_mp3_semb->isEnabled());
    dlg->Button2Click();
    EXPECT_EQ(dlg->cb_mp3vbrcm->currentText(), "None");
    EXPECT_FALSE(dlg->cb_mp3_vbr->isEnabled());
    EXPECT_FALSE(dlg->ud_mp3_vbr->isEnabled());
    EXPECT_FALSE(dlg->ck_mp3_VBR->isEnabled());
}

TEST_F(SettingsDialogTest, EnabledStatesFollowEveryDecidingControl) {
    open();
    dlg->chHFilt->click();
    EXPECT_TRUE(dlg->udHFiltF->isEnabled());
    EXPECT_TRUE(dlg->udHFiltW->isEnabled());
    EXPECT_TRUE(dlg->lb_HFiltW->isEnabled());
    EXPECT_FALSE(dlg->udLFiltF->isEnabled());
    dlg->chHFilt->click();
    EXPECT_FALSE(dlg->udHFiltW->isEnabled());

    dlg->rb_cdmode->button(2)->click();
    EXPECT_TRUE(dlg->cb_wav_channel->isEnabled());
    dlg->rb_cdmode->button(1)->click();
    EXPECT_FALSE(dlg->cb_wav_channel->isEnabled());

    // Preset and Alt-Preset exclude each other.
    dlg->ck_preset->click();
    EXPECT_TRUE(dlg->rg_prest->isEnabled());
    EXPECT_FALSE(dlg->rg_alt->isEnabled());
    EXPECT_FALSE(dlg->ck_alt->isEnabled());
    dlg->ck_preset->click();
    EXPECT_TRUE(dlg->ck_alt->isEnabled());
    EXPECT_FALSE(dlg->rg_prest->isEnabled());
    dlg->ck_alt->click();
    EXPECT_TRUE(dlg->rg_alt->isEnabled());
    EXPECT_FALSE(dlg->rg_prest->isEnabled());
    EXPECT_FALSE(dlg->ck_preset->isEnabled());
    dlg->ck_alt->click();
    EXPECT_TRUE(dlg->ck_preset->isEnabled());

    // So do OGG VBR and Quality; the bitrate list stays usable.
    dlg->ck_oggvbr->click();
    EXPECT_TRUE(dlg->cb_ogg_minbit->isEnabled());
    EXPECT_TRUE(dlg->cb_ogg_maxbit->isEnabled());
    EXPECT_FALSE(dlg->ck_oggquality->isEnabled());
    dlg->ck_oggvbr->click();
    dlg->ck_oggquality->click();
    EXPECT_TRUE(dlg->ud_ogg_quality->isEnabled());
    EXPECT_TRUE(dlg->edt_ogg_quality->isEnabled());
    EXPECT_FALSE(dlg->ck_oggvbr->isEnabled());
    EXPECT_FALSE(dlg->cb_ogg_minbit->isEnabled());
    EXPECT_TRUE(dlg->cb_ogg_bitrate->isEnabled());
}

TEST_F(SettingsDialogTest, AFileWithBothPresetsOrBothOggModesLeavesThemUndoable) {
    writeFile("[MP3Prest]\npreset=1\nalt=1\n[ogg]\noggvbr=1\noggquality=1\n");
    start();
    open();
    EXPECT_TRUE(dlg->ck_preset->isEnabled());
    EXPECT_TRUE(dlg->ck_alt->isEnabled());
    EXPECT_TRUE(dlg->ck_oggvbr->isEnabled());
    EXPECT_TRUE(dlg->ck_oggquality->isEnabled());
    dlg->ck_preset->click();
    EXPECT_FALSE(dlg->ck_preset->isEnabled()) << "Alt-Preset alone now excludes Preset";
}

TEST_F(SettingsDialogTest, ACancelledFunctionChoiceStaysInEffect) {
    open();
    dlg->rb_unification->click();
    EXPECT_EQ(main->state().FunctionChoice, 3) << "set at the click";
    dlg->rb_time->click();
    dlg->Cancel->click();
    EXPECT_EQ(main->state().FunctionChoice, 1);
    EXPECT_EQ(main->lvClicks, 0);
    open();
    EXPECT_TRUE(dlg->rb_time->isChecked());
}

TEST_F(SettingsDialogTest, CommandLineLivesInTheStateAndOutlastsCancelAndShowing) {
    open();
    clickNode(7);
    QTest::keyClicks(dlg->txtCommLine, "-V 2");
    EXPECT_EQ(main->state().Mp3CommandLine, "-V 2");
    dlg->Cancel->click();
    open();
    EXPECT_EQ(dlg->txtCommLine->toPlainText(), "-V 2");
    dlg->OkClick();
    EXPECT_EQ(main->state().Mp3CommandLine, "-V 2");
    EXPECT_FALSE(fileText().contains("-V 2")) << "never saved";
}

TEST_F(SettingsDialogTest, StoredValuesOutsideTheirControlsAreShownSafelyAndSavedInRange) {
    writeFile("[mp3]\nbitrate=30\nchannel=-2\nquality=12\n[MP3VBR]\nCoding Method=9\n"
              "[MP3Filt]\nudHFiltF=60000\nudLFiltW=-5\n[MP3Prest]\nrg_prest=20\nrg_alt=-1\n"
              "[wav]\nmode=-1\n[wma]\nformat=47\n[ogg]\nquality=5000\n"
              "[Fade]\nIntime=0\n");
    start();
    open();
    EXPECT_EQ(dlg->cb_mp3_bitrate->currentText(), "128 Kbps");
    EXPECT_EQ(dlg->cb_mp3_channel->currentText(), "Stereo");
    EXPECT_EQ(dlg->ud_mp3_quality->value(), 9);
    EXPECT_EQ(dlg->cb_mp3vbrcm->currentText(), "None");
    EXPECT_EQ(dlg->udHFiltF->value(), 48000);
    EXPECT_EQ(dlg->udLFiltW->value(), 0);
    EXPECT_EQ(dlg->rg_prest->ItemIndex(), 10) << "past the end: the last entry";
    EXPECT_EQ(dlg->rg_alt->ItemIndex(), -1) << "negative: no entry";
    EXPECT_EQ(dlg->rb_cdmode->ItemIndex(), -1);
    EXPECT_FALSE(dlg->cb_wav_bit->isEnabled());
    EXPECT_EQ(dlg->cb_wma->currentIndex(), 9);
    EXPECT_EQ(dlg->ud_ogg_quality->value(), 1000);
    EXPECT_EQ(dlg->cb_fadeintime->currentText(), "5s");

    dlg->OkClick();
    const QByteArray text = fileText();
    // Keys the file already held keep their place.
    EXPECT_TRUE(text.contains("[mp3]\nbitrate=9\nchannel=1\nquality=9\nfrequency=7\n"));
    EXPECT_TRUE(text.contains("rg_prest=10\nrg_alt=0\n"));
    EXPECT_TRUE(text.contains("[wav]\nmode=0\n"));
    EXPECT_TRUE(text.contains("[wma]\nformat=9\n"));
    EXPECT_TRUE(text.contains("quality=1000\n"));
    EXPECT_EQ(main->state().FadeInSeconds, 5);
}

TEST_F(SettingsDialogTest, FlacAndOpusKeysRoundTripAndValuesOutOfRangeReadAsDefaults) {
    writeFile("[FLAC]\nLevel=9\n[Opus]\nBitrate=abc\nComplexity=-1\nApplication=3\n");
    start();
    open();
    EXPECT_EQ(dlg->ud_flac_level->value(), 5);
    EXPECT_EQ(dlg->ud_opus_bitrate->value(), 128);
    EXPECT_EQ(dlg->ud_opus_complexity->value(), 10);
    EXPECT_EQ(dlg->cb_opus_application->currentText(), "Audio");
    EXPECT_TRUE(dlg->lb_opus_rate->text().contains("48000 Hz"));

    dlg->ud_flac_level->setValue(8);
    dlg->ud_opus_bitrate->setValue(510);
    dlg->ud_opus_complexity->setValue(0);
    dlg->cb_opus_application->setCurrentIndex(2);
    dlg->OkClick();
    EXPECT_TRUE(
        fileText().contains("[FLAC]\nLevel=8\n[Opus]\nBitrate=510\nComplexity=0\nApplication=2\n"));
    start();
    open();
    EXPECT_EQ(dlg->ud_flac_level->value(), 8);
    EXPECT_EQ(dlg->ud_opus_bitrate->value(), 510);
    EXPECT_EQ(dlg->ud_opus_complexity->value(), 0);
    EXPECT_EQ(dlg->cb_opus_application->currentText(), "Low delay");
}

TEST_F(SettingsDialogTest, FormatPagesBuiltFromTheirFieldsLoadSaveAndDefault) {
    writeFile("[M4A]\nBitrate=999\nVBR=1\nQuality=4\n");
    start();
    open();
    auto* bitrate = dlg->findChild<QSpinBox*>("ud_m4a_bitrate");
    auto* vbr = dlg->findChild<QCheckBox*>("ck_m4a_vbr");
    auto* quality = dlg->findChild<QComboBox*>("cb_m4a_quality");
    ASSERT_TRUE(bitrate && vbr && quality);
    EXPECT_EQ(bitrate->value(), 160) << "a value out of range reads as the default";
    EXPECT_TRUE(vbr->isChecked());
    EXPECT_EQ(quality->currentText(), "Highest");
    EXPECT_TRUE(quality->isEnabled());
    EXPECT_FALSE(bitrate->isEnabled()) << "VBR asks for a quality, not a bitrate";

    vbr->setChecked(false);
    EXPECT_TRUE(bitrate->isEnabled());
    EXPECT_FALSE(quality->isEnabled());
    bitrate->setValue(256);
    dlg->OkClick();
    EXPECT_TRUE(fileText().contains("[M4A]\nBitrate=256\nVBR=0\nQuality=4\n"));

    open();
    dlg->Button2Click();
    EXPECT_EQ(bitrate->value(), 160);
    EXPECT_FALSE(vbr->isChecked());
    EXPECT_EQ(quality->currentText(), "High");
}

TEST_F(SettingsDialogTest, WmaListTakesTypingButSavesOnlyPositionsOfItsList) {
    open();
    clickNode(9);
    EXPECT_TRUE(dlg->cb_wma->isEditable());
    EXPECT_EQ(dlg->cb_wma->itemText(34), "WMA9 8KHz,  12Kbps, Stereo, CBR");
    EXPECT_EQ(dlg->cb_wma->itemText(20), dlg->cb_wma->itemText(22));

    dlg->cb_wma->setCurrentIndex(22); // the second of the two equal entries
    EXPECT_EQ(dlg->wmaPosition(), 22);
    dlg->cb_wma->setEditText("wma9 48khz, 64kbps, stereo, cbr");
    EXPECT_EQ(dlg->wmaPosition(), 4) << "a typed text names its entry";
    dlg->cb_wma->setEditText("my own profile");
    EXPECT_EQ(dlg->wmaPosition(), 22) << "no entry: the one last chosen";
    dlg->cb_wma->lineEdit()->editingFinished();
    EXPECT_EQ(dlg->cb_wma->currentText(), "WMA9 32KHz, 32Kbps, Stereo, CBR");

    dlg->cb_wma->setEditText("no such thing");
    dlg->OkClick();
    EXPECT_TRUE(fileText().contains("[wma]\nformat=22\n"));
}

TEST_F(SettingsDialogTest, OggQualityTakesDigitsUpTo1000) {
    open();
    clickNode(10);
    dlg->ck_oggquality->click();
    QTest::keyClick(dlg->ud_ogg_quality, Qt::Key_End);
    QTest::keyClicks(dlg->ud_ogg_quality, "q");
    EXPECT_EQ(dlg->edt_ogg_quality->text(), "30") << "a letter deletes the digit before the caret";
    retype(dlg->ud_ogg_quality, "2500");
    EXPECT_LE(dlg->ud_ogg_quality->value(), 1000);
    retype(dlg->ud_ogg_quality, "750");
    EXPECT_EQ(dlg->ud_ogg_quality->value(), 750);
    dlg->OkClick();
    EXPECT_TRUE(fileText().contains("quality=750\noggvbr=0\noggquality=1\n"));
}

TEST_F(SettingsDialogTest, ARefusedWriteStopsOkAndKeepsTheDialogOpen) {
    open();
    // A folder where the file should be: every write is refused, even for root.
    ASSERT_TRUE(QDir().mkpath(ini));
    dlg->Ok->click();
    EXPECT_EQ(desktop.errors, QStringList{"Unable to write to Velmora.ini"});
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(main->lvClicks, 0);
}

TEST_F(SettingsDialogTest, EveryControlFitsInsideItsPage) {
    open();
    for (int i = 0; i < Tfm_set::PageCount; ++i) {
        dlg->ShowSettingsPage(i);
        QWidget* page = dlg->currentPage();
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(page) || w->parentWidget() == nullptr)
                continue;
            const QRect inPage(w->mapTo(page, QPoint(0, 0)), w->size());
            EXPECT_TRUE(page->rect().contains(inPage))
                << "page " << i << ": " << w->metaObject()->className() << " "
                << w->objectName().toStdString();
            EXPECT_GE(w->width(), w->minimumSizeHint().width())
                << "page " << i << ": " << w->metaObject()->className() << " "
                << w->objectName().toStdString() << " is squeezed";
        }
    }
    EXPECT_GE(dlg->width(), 384);
    EXPECT_GE(dlg->height(), 311);
}

TEST_F(SettingsDialogTest, SettingsConfirmedInTheDialogShapeTheNextEncodedFile) {
    open();
    clickNode(2);
    dlg->cb_mp3_frequency->setCurrentIndex(8); // 48000 Hz
    dlg->cb_mp3_channel->setCurrentIndex(0);   // Mono
    clickNode(7);
    QTest::keyClicks(dlg->txtCommLine, "-b 96");
    dlg->Ok->click();
    ASSERT_FALSE(dlg->isVisible());

    IAudioFile2& writer = main->AudioFile2write();
    ConfigureEncoder(OutputMp3, *main->settings(), main->state().Mp3CommandLine, writer,
                     main->Mp3LameEncoder());
    writer.SetSampleFormat(44100, 2);
    const QString path = dir.filePath("piece.mp3");
    writer.CreateOutput(path, 0);
    SampleArray block;
    block.channels = 2;
    for (int i = 0; i < 44100; ++i) {
        const float v =
            0.5f * static_cast<float>(std::sin(2.0 * std::numbers::pi * 440.0 * i / 44100));
        block.samples.insert(block.samples.end(), {v, v});
    }
    writer.WriteSamples(block);
    writer.Close();

    const DecodedAudio a = decodeWithFfmpeg(path);
    EXPECT_EQ(a.container, "mp3");
    EXPECT_EQ(a.rate, 48000);
    EXPECT_EQ(a.channels, 1);
    EXPECT_NEAR(static_cast<double>(a.bitRate), 96000.0, 6000.0);
    EXPECT_NEAR(dominantFrequency(a.channel(0), a.rate), 440.0, 10.0);
}

} // namespace
