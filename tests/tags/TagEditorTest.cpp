// The tag editor driven as a user would: opened over the real main window,
// fields typed and left, buttons clicked.
#include "app/dialogs/Tfm_id3.h"
#include "core/JobListModel.h"
#include "platform/FormatTime.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/OggFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

class TagEditorTest : public MainWindowFixture {
protected:
    std::unique_ptr<Tfm_id3> id3;

    void SetUp() override {
        MainWindowFixture::SetUp();
        id3 = std::make_unique<Tfm_id3>(main->dialogContext());
        main->setDialogs(nullptr, folderDialog.get(), nullptr, id3.get());
    }
    void TearDown() override {
        id3.reset();
        MainWindowFixture::TearDown();
    }

    // Adds a one-second Ogg file carrying `tags` as Vorbis comments through
    // the open dialog; its row's caption is the title, or the file name.
    void addRow(const QString& fileName, const AudioFileinfo& tags) {
        QStringList comments;
        const std::pair<const char*, QString> fields[] = {
            {"TITLE", tags.Title},     {"ARTIST", tags.Artist}, {"ALBUM", tags.Album},
            {"COMMENT", tags.Comment}, {"GENRE", tags.Genre},   {"DATE", tags.Year}};
        for (const auto& [key, value] : fields)
            if (!value.isEmpty())
                comments.append(QString::fromLatin1(key) + '=' + value);
        const int rows = lv().count();
        addFiles({ogg(fileName, 1, comments)});
        ASSERT_EQ(lv().count(), rows + 1) << desktop.informations.join("; ").toStdString();
    }

    // Opens the editor from the file list's popup (or the action menu) and
    // runs `script` inside it.
    void openEditor(const std::function<void(Tfm_id3&)>& script, bool fromActionMenu = false) {
        desktop.onModal = [&](QWidget& dialog) {
            EXPECT_EQ(&dialog, id3.get());
            script(*id3);
            if (id3->isVisible())
                id3->btn_cancel->click();
            return id3->result();
        };
        if (fromActionMenu)
            main->ID31Click();
        else
            main->ID3info1Click();
        desktop.onModal = nullptr;
    }

    // Types into a field and leaves it the way a user does: focus moves on.
    static void typeAndLeave(QWidget* field, const QString& text) {
        if (auto* edit = qobject_cast<QLineEdit*>(field))
            edit->clear();
        else if (auto* memo = qobject_cast<QPlainTextEdit*>(field))
            memo->clear();
        const QStringList lines = text.split('\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                QTest::keyClick(field, Qt::Key_Return);
            QTest::keyClicks(field, lines[i]);
        }
        leave(field);
    }
    static void leave(QWidget* field) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(field, &out);
    }
    static QString caption(Tfm_id3& d, int row) { return d.lv_id3->topLevelItem(row)->text(0); }

    static AudioFileinfo tags(QString title, QString artist, QString album = {}, QString genre = {},
                              QString comment = {}) {
        AudioFileinfo t;
        t.Title = std::move(title);
        t.Artist = std::move(artist);
        t.Album = std::move(album);
        t.Genre = std::move(genre);
        t.Comment = std::move(comment);
        return t;
    }
};

TEST_F(TagEditorTest, DialogHasItsCaptionAndSize) {
    EXPECT_EQ(id3->windowTitle(), "ID3 Edit");
    EXPECT_EQ(id3->size(), QSize(419, 288));
    EXPECT_EQ(Tfm_id3::GenreNames().size(), 148);
    EXPECT_EQ(Tfm_id3::GenreNames().first(), "Blues");
    EXPECT_EQ(Tfm_id3::GenreNames().last(), "SynthPop");
}

// A file added from a folder carries its tags, and the dialog shows them;
// a title keeps its leading dots in the caption and the tags.
TEST_F(TagEditorTest, AfterAFolderAddTheDialogShowsTheTagsTheRowsCarry) {
    addRow("tagged.ogg", tags("Tagged", "Someone"));
    OggFixture f;
    f.rate = 8000;
    f.channels = 1;
    f.comments = {"TITLE=...And Justice", "ARTIST=Nobody"};
    QDir().mkpath(dir.filePath("folder"));
    f.write(dir.filePath("folder/song.ogg"));
    desktop.onModal = [&](QWidget&) {
        main->state().ChosenFolder = dir.filePath("folder");
        return 1;
    };
    main->AddFolder1Click();
    ASSERT_EQ(lv().count(), 2);
    ASSERT_EQ(lv().text(1, 0), "...And Justice");
    ASSERT_TRUE(main->state().FolderAddMode);

    int rows = -1;
    QString artist;
    QString title;
    openEditor([&](Tfm_id3& d) {
        rows = d.lv_id3->topLevelItemCount();
        d.lv_id3->setCurrentItem(d.lv_id3->topLevelItem(1));
        artist = d.edt_art->text();
        title = d.edt_tatal->text();
        typeAndLeave(d.edt_alb, "Album");
        d.btn_ok->click();
    });
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(artist, "Nobody");
    EXPECT_EQ(title, "...And Justice");
    EXPECT_EQ(main->state().JobList[1].Tags.Title, "...And Justice");
    EXPECT_EQ(main->state().JobList[1].Tags.Album, "Album");
    EXPECT_EQ(main->state().JobList[0].Tags.Artist, "Someone");
    EXPECT_EQ(lv().text(1, 0), "...And Justice");
}

TEST_F(TagEditorTest, EmptyJobListListsNoFiles) {
    int rows = -1;
    openEditor([&](Tfm_id3& d) {
        rows = d.lv_id3->topLevelItemCount();
        d.btn_ok->click();
    });
    EXPECT_EQ(rows, 0);
    EXPECT_TRUE(main->state().JobList.empty());
}

TEST_F(TagEditorTest, ShowingStoresTheCaptionAsTitleAndOkCommitsIt) {
    addRow("untagged.ogg", tags("", "Someone", "Record", "Jazz", "a note"));
    addRow("second.ogg", tags("Second Song", "Other"));
    QString shownTitle, shownArtist, shownAlbum, shownGenre, shownComment;
    openEditor([&](Tfm_id3& d) {
        EXPECT_EQ(d.lv_id3->topLevelItemCount(), 2);
        EXPECT_EQ(d.selectedRow(), 0);
        EXPECT_EQ(d.TagEditIndex(), 0);
        shownTitle = d.edt_tatal->text();
        shownArtist = d.edt_art->text();
        shownAlbum = d.edt_alb->text();
        shownGenre = d.edt_genre->currentText();
        shownComment = d.edt_com->toPlainText();
        EXPECT_EQ(d.TagEditCopy()[0].Title, "untagged.ogg");
        d.btn_ok->click();
    });
    EXPECT_EQ(shownTitle, "untagged.ogg");
    EXPECT_EQ(shownArtist, "Someone");
    EXPECT_EQ(shownAlbum, "Record");
    EXPECT_EQ(shownGenre, "Jazz");
    EXPECT_EQ(shownComment, "a note");
    EXPECT_EQ(main->state().JobList[0].Tags.Title, "untagged.ogg");
    EXPECT_EQ(main->state().JobList[1].Tags.Title, "Second Song");
    EXPECT_EQ(id3->lv_id3->topLevelItemCount(), 0) << "the list is emptied on closing";
}

TEST_F(TagEditorTest, LeavingTheTitleRenamesTheDialogRowAndOkTheJobRow) {
    addRow("one.ogg", tags("", ""));
    addRow("two.ogg", tags("", ""));
    openEditor([&](Tfm_id3& d) {
        typeAndLeave(d.edt_tatal, "New Name");
        EXPECT_EQ(caption(d, 0), "New Name");
        EXPECT_EQ(lv().text(0, 0), "one.ogg") << "the job list waits for Ok";
        // Other rows show their record's title, which an untagged file lacks.
        d.lv_id3->setCurrentItem(d.lv_id3->topLevelItem(1));
        EXPECT_EQ(d.edt_tatal->text(), "");
        typeAndLeave(d.edt_tatal, "Two");
        EXPECT_EQ(caption(d, 1), "Two");
        d.lv_id3->setCurrentItem(d.lv_id3->topLevelItem(0));
        EXPECT_EQ(d.edt_tatal->text(), "New Name");
        typeAndLeave(d.edt_tatal, "");
        EXPECT_EQ(caption(d, 0), "");
        d.btn_ok->click();
    });
    EXPECT_EQ(lv().text(0, 0), "one.ogg") << "an empty title keeps the caption";
    EXPECT_EQ(main->state().JobList[0].Tags.Title, "");
    EXPECT_EQ(lv().text(1, 0), "Two");
    EXPECT_EQ(main->state().JobList[1].Tags.Title, "Two");
}

TEST_F(TagEditorTest, TitlesAndDatesShowAsTheSourceHasThemWhileCaptionsStayClean) {
    AudioFileinfo source = tags("a:b/c?", "x");
    source.Year = "2001-05-03";
    addRow("odd.ogg", source);
    ASSERT_EQ(lv().text(0, 0), "abc");
    QString shownTitle, shownYear;
    openEditor([&](Tfm_id3& d) {
        shownTitle = d.edt_tatal->text();
        shownYear = d.edt_year->text();
        EXPECT_EQ(caption(d, 0), "abc");
        typeAndLeave(d.edt_tatal, "Live at: the <Hall>");
        EXPECT_EQ(caption(d, 0), "Live at the Hall");
        d.btn_ok->click();
    });
    EXPECT_EQ(shownTitle, "a:b/c?");
    EXPECT_EQ(shownYear, "2001");
    EXPECT_EQ(main->state().JobList[0].Tags.Title, "Live at: the <Hall>");
    EXPECT_EQ(lv().text(0, 0), "Live at the Hall");
}

TEST_F(TagEditorTest, EditsReachTheWorkingCopyOnChangeAndOnLeaving) {
    addRow("a.ogg", tags("A", "Artist A", "Album A"));
    addRow("b.ogg", tags("B", "Artist B", "Album B"));
    openEditor([&](Tfm_id3& d) {
        QTest::keyClicks(d.edt_art, "!");
        EXPECT_EQ(d.TagEditCopy()[0].Artist, "Artist A!") << "stored while typing";
        typeAndLeave(d.edt_year, "1999");
        typeAndLeave(d.edt_com, "line one\nline two");
        // Moving to the other row with the keyboard loads that row; nothing
        // of the first row leaks into it.
        d.lv_id3->setFocus();
        d.lv_id3->setCurrentItem(d.lv_id3->topLevelItem(1));
        EXPECT_EQ(d.edt_art->text(), "Artist B");
        EXPECT_EQ(d.edt_year->text(), "");
        leave(d.edt_tatal);
        EXPECT_EQ(d.TagEditCopy()[1].Title, "B");
        // Back on the first row the copy's values show, the title from the
        // record (which showing set to the caption).
        d.lv_id3->setCurrentItem(d.lv_id3->topLevelItem(0));
        EXPECT_EQ(d.edt_tatal->text(), "A");
        EXPECT_EQ(d.edt_year->text(), "1999");
        EXPECT_EQ(d.edt_com->toPlainText(), "line one\nline two");
        d.btn_ok->click();
    });
    const auto& list = main->state().JobList;
    EXPECT_EQ(list[0].Tags.Artist, "Artist A!");
    EXPECT_EQ(list[0].Tags.Year, "1999");
    EXPECT_EQ(list[0].Tags.Comment, "line one\nline two");
    EXPECT_EQ(list[1].Tags.Artist, "Artist B");
    EXPECT_EQ(list[1].Tags.Title, "B");
}

TEST_F(TagEditorTest, ClickOnEmptySpaceKeepsARowSelected) {
    addRow("a.ogg", tags("A", "x"));
    addRow("b.ogg", tags("B", "y"));
    openEditor([&](Tfm_id3& d) {
        d.lv_id3->clearSelection();
        EXPECT_EQ(d.selectedRow(), 0) << "the row selected on showing comes back";
        QTest::mouseClick(d.lv_id3->viewport(), Qt::LeftButton, {},
                          QPoint(5, d.lv_id3->viewport()->height() - 3));
        EXPECT_GE(d.selectedRow(), 0);
        EXPECT_EQ(d.edt_art->text(), d.TagEditCopy()[d.selectedRow()].Artist);
    });
}

TEST_F(TagEditorTest, AllButtonsSetEveryRowButNotTheCaptions) {
    addRow("a.ogg", tags("A", "x"));
    addRow("b.ogg", tags("B", "y"));
    addRow("c.ogg", tags("C", "z"));
    openEditor([&](Tfm_id3& d) {
        typeAndLeave(d.edt_tatal, "Same");
        d.Button1->click();
        typeAndLeave(d.edt_art, "Band");
        d.Button2->click();
        typeAndLeave(d.edt_alb, "LP");
        d.Button3->click();
        typeAndLeave(d.edt_year, "2001");
        d.Button4->click();
        d.edt_genre->setEditText("Ska");
        d.Button5->click();
        typeAndLeave(d.edt_com, "c");
        d.Button6->click();
        EXPECT_EQ(caption(d, 1), "B");
        d.btn_ok->click();
    });
    for (const listrecord& job : main->state().JobList) {
        const AudioFileinfo& t = job.Tags;
        EXPECT_EQ(t.Title, "Same");
        EXPECT_EQ(t.Artist, "Band");
        EXPECT_EQ(t.Album, "LP");
        EXPECT_EQ(t.Year, "2001");
        EXPECT_EQ(t.Genre, "Ska");
        EXPECT_EQ(t.Comment, "c");
    }
    EXPECT_EQ(lv().text(2, 0), "Same") << "Ok names the job rows after the titles";
}

TEST_F(TagEditorTest, CancelLeavesTheTagsAndTheNextShowingHasTheOldValues) {
    addRow("a.ogg", tags("a.ogg", "Old Artist"));
    openEditor([&](Tfm_id3& d) {
        typeAndLeave(d.edt_art, "New Artist");
        typeAndLeave(d.edt_tatal, "New Title");
        d.btn_cancel->click();
    });
    EXPECT_EQ(main->state().JobList[0].Tags.Artist, "Old Artist");
    EXPECT_EQ(lv().text(0, 0), "a.ogg");
    QString artist, title;
    openEditor(
        [&](Tfm_id3& d) {
            artist = d.edt_art->text();
            title = d.edt_tatal->text();
        },
        true);
    EXPECT_EQ(artist, "Old Artist");
    EXPECT_EQ(title, "a.ogg");
}

TEST_F(TagEditorTest, ResetBringsBackTheTagList) {
    addRow("a.ogg", tags("a.ogg", "Artist", "Album"));
    addRow("b.ogg", tags("b.ogg", "Other"));
    openEditor([&](Tfm_id3& d) {
        d.lv_id3->setCurrentItem(d.lv_id3->topLevelItem(1));
        typeAndLeave(d.edt_tatal, "Changed");
        typeAndLeave(d.edt_art, "Changed too");
        d.Button7->click();
        EXPECT_EQ(d.lv_id3->topLevelItemCount(), 2);
        EXPECT_EQ(d.selectedRow(), 0);
        EXPECT_EQ(caption(d, 1), "b.ogg");
        EXPECT_EQ(d.edt_art->text(), "Artist");
        EXPECT_EQ(d.edt_alb->text(), "Album");
        EXPECT_EQ(d.TagEditCopy()[1].Artist, "Other");
        EXPECT_EQ(d.TagEditCopy()[1].Title, "b.ogg");
        d.btn_ok->click();
    });
    EXPECT_EQ(main->state().JobList[1].Tags.Artist, "Other");
}

TEST_F(TagEditorTest, GenreBoxHoldsEachNameOnceAndKeepsATypedGenre) {
    addRow("a.ogg", tags("a.ogg", ""));
    for (int i = 0; i < 3; ++i)
        openEditor([&](Tfm_id3& d) { EXPECT_EQ(d.edt_genre->count(), 148); });
    openEditor([&](Tfm_id3& d) {
        EXPECT_EQ(d.edt_genre->itemText(0), "Blues");
        EXPECT_EQ(d.edt_genre->itemText(147), "SynthPop");
        d.edt_genre->setFocus();
        d.edt_genre->lineEdit()->clear();
        QTest::keyClicks(d.edt_genre, "rock");
        QTest::keyClick(d.edt_genre, Qt::Key_Return);
        EXPECT_EQ(d.edt_genre->currentText(), "rock");
        EXPECT_EQ(d.edt_genre->count(), 148);
        d.edt_genre->setCurrentIndex(Tfm_id3::GenreNames().indexOf("Drum & Bass"));
        EXPECT_EQ(d.TagEditCopy()[0].Genre, "Drum & Bass");
        d.edt_genre->lineEdit()->clear();
        QTest::keyClicks(d.edt_genre, "Rock-ish");
        d.btn_ok->click();
    });
    EXPECT_EQ(main->state().JobList[0].Tags.Genre, "Rock-ish");
}

TEST_F(TagEditorTest, FirstShowingIsCentredOverTheMainWindowLaterOnesBesideIt) {
    main->move(200, 150);
    QPoint first, second;
    openEditor([&](Tfm_id3& d) { first = d.pos(); });
    openEditor([&](Tfm_id3& d) { second = d.pos(); });
    const QRect m = main->frameGeometry();
    EXPECT_EQ(first.x(), m.left() + (m.width() - id3->frameGeometry().width()) / 2);
    EXPECT_EQ(second, main->pos() + QPoint(10, 10));
}

TEST_F(TagEditorTest, FileColumnNarrowsFromTwentyFiles) {
    for (int i = 0; i < 19; ++i)
        addRow(QStringLiteral("f%1.ogg").arg(i), tags("", ""));
    int narrow = 0, wide = 0;
    openEditor([&](Tfm_id3& d) { wide = d.lv_id3->columnWidth(0); });
    addRow("f19.ogg", tags("", ""));
    openEditor([&](Tfm_id3& d) { narrow = d.lv_id3->columnWidth(0); });
    EXPECT_EQ(wide, 143);
    EXPECT_EQ(narrow, 127);
}

// The class of fault by which a title reached another file: a row showing
// one file while its job or its tags are another's. After every list
// operation each row's caption, time and size, its job and its tags must
// all be those of one and the same file.
TEST_F(TagEditorTest, EveryRowsCaptionJobAndTagsBelongToOneFileThroughListOperations) {
    struct Listed {
        int seconds;
        QString title; // as the file carries it
        QString artist;
        QString caption;
    };
    std::map<QString, Listed> files = {
        {"a.ogg", {1, "Alpha", "A", "Alpha"}},
        {"b.ogg", {2, "", "B", "b.ogg"}},
        {"c.ogg", {3, "Gamma: Live", "C", "Gamma Live"}},
        {"d.ogg", {4, "Delta", "D", "Delta"}},
    };
    QStringList paths;
    for (const auto& [name, file] : files) {
        QStringList comments = {"ARTIST=" + file.artist};
        if (!file.title.isEmpty())
            comments.append("TITLE=" + file.title);
        paths.append(ogg(name, file.seconds, comments));
    }
    const auto add = [&](const QStringList& names) {
        QStringList chosen;
        for (const QString& name : names)
            chosen.append(dir.filePath(name));
        addFiles(chosen);
    };
    const auto select = [&](int row) {
        selectFile(row);
        main->lvClick();
    };

    struct Step {
        const char* what;
        std::function<void()> act;
        QStringList rows; // the files the list shows, in order
    };
    const Step steps[] = {
        {"add",
         [&] {
             add({"a.ogg", "b.ogg", "c.ogg"});
         },
         {"a.ogg", "b.ogg", "c.ogg"}},
        {"move the last up",
         [&] {
             select(2);
             main->UP1Click();
         },
         {"a.ogg", "c.ogg", "b.ogg"}},
        {"move the first down",
         [&] {
             select(0);
             main->Down1Click();
         },
         {"c.ogg", "a.ogg", "b.ogg"}},
        {"move the first up, which does nothing",
         [&] {
             select(0);
             main->UP1Click();
         },
         {"c.ogg", "a.ogg", "b.ogg"}},
        {"remove the middle",
         [&] {
             select(1);
             main->Remove1Click();
         },
         {"c.ogg", "b.ogg"}},
        {"title the untitled file in the tag editor",
         [&] {
             openEditor([&](Tfm_id3& d) {
                 d.lv_id3->setCurrentItem(d.lv_id3->topLevelItem(1));
                 typeAndLeave(d.edt_tatal, "Beta / Two");
                 typeAndLeave(d.edt_art, "B2");
                 d.btn_ok->click();
             });
             files["b.ogg"] = {2, "Beta / Two", "B2", "Beta  Two"};
         },
         {"c.ogg", "b.ogg"}},
        {"move the titled file up",
         [&] {
             select(1);
             main->UP1Click();
         },
         {"b.ogg", "c.ogg"}},
        {"remove the last",
         [&] {
             select(1);
             main->Remove1Click();
         },
         {"b.ogg"}},
        {"clear", [&] { main->Clear1Click(); }, {}},
        // Files added again come as they are on disk: edits are not kept.
        {"add again",
         [&] {
             files["b.ogg"] = {2, "", "B", "b.ogg"};
             add({"d.ogg", "b.ogg", "a.ogg"});
         },
         {"d.ogg", "b.ogg", "a.ogg"}},
    };

    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        const std::vector<listrecord>& jobs = main->state().JobList;
        ASSERT_EQ(lv().count(), step.rows.size()) << desktop.informations.join("; ").toStdString();
        ASSERT_EQ(jobs.size(), static_cast<size_t>(step.rows.size()));
        const QAbstractItemModel* shown = main->lv->model();
        ASSERT_EQ(shown->rowCount(), step.rows.size());
        for (int row = 0; row < lv().count(); ++row) {
            SCOPED_TRACE(row);
            const listrecord& job = jobs[static_cast<size_t>(row)];
            const QString name = QFileInfo(job.FileName).fileName();
            EXPECT_EQ(name, step.rows[row]);
            const Listed& file = files.at(name);
            EXPECT_EQ(shown->index(row, 0).data().toString(), file.caption);
            EXPECT_EQ(lv().text(row, JobListModel::TimeColumn), FormatTime(file.seconds));
            EXPECT_EQ(shown->index(row, 1).data().toString(), FormatTime(file.seconds));
            EXPECT_EQ(lv().text(row, JobListModel::SizeColumn),
                      JobListModel::SizeText(QFileInfo(job.FileName).size()));
            EXPECT_EQ(job.Duration, file.seconds);
            EXPECT_EQ(job.Tags.Title, file.title);
            EXPECT_EQ(job.Tags.Artist, file.artist);
        }
        if (lv().count() > 0) {
            EXPECT_EQ(main->state().CurrentFile, selectedFile());
        }
    }
}

} // namespace
