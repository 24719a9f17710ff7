#include "app/dialogs/Tfm_cue.h"

#include "app/dialogs/RadioGroup.h"
#include "engine/SheetImport.h"
#include "platform/Desktop.h"
#include "platform/Error.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

const QStringList Tfm_cue::PregapChoices{QStringLiteral("Into track 1"),
                                         QStringLiteral("As track 0 of its own"),
                                         QStringLiteral("Left out")};

Tfm_cue::Tfm_cue(QWidget& window, Desktop& desktop, SheetImport& import)
    : QDialog(&window), desktop_(desktop), import_(import) {
    setObjectName(QStringLiteral("fm_cue"));
    setWindowTitle(QStringLiteral("Import cue sheet"));
    setModal(true);

    lab_sheet = new QLabel(this);
    lab_sheet->setObjectName(QStringLiteral("lab_sheet"));
    lab_sheet->setWordWrap(true);

    lv_tracks = new QTableWidget(0, 6, this);
    lv_tracks->setObjectName(QStringLiteral("lv_tracks"));
    lv_tracks->setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("Title"),
                                          QStringLiteral("Performer"), QStringLiteral("Begin"),
                                          QStringLiteral("End"), QStringLiteral("Length")});
    lv_tracks->verticalHeader()->hide();
    lv_tracks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv_tracks->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The titles take the room the times leave, so they stay readable.
    QHeaderView* header = lv_tracks->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::Interactive);

    cb_encoding = new QComboBox(this);
    cb_encoding->setObjectName(QStringLiteral("cb_encoding"));
    cb_encoding->setEditable(true);
    cb_encoding->setInsertPolicy(QComboBox::NoInsert);
    cb_encoding->addItems(SheetImport::CommonEncodings());
    cb_encoding->setEnabled(import_.encodingChoosable());
    connect(cb_encoding, &QComboBox::textActivated, this, &Tfm_cue::cb_encodingActivated);

    rg_pregap = new RadioGroup(QStringLiteral("Audio before track 1"), PregapChoices, 3, this);
    rg_pregap->setObjectName(QStringLiteral("rg_pregap"));
    rg_pregap->setItemIndex(static_cast<int>(import_.pregap()));
    rg_pregap->setEnabled(import_.hasPregap());
    connect(rg_pregap, &RadioGroup::itemIndexChanged, this, &Tfm_cue::rg_pregapClick);

    lab_warnings = new QLabel(this);
    lab_warnings->setObjectName(QStringLiteral("lab_warnings"));
    lab_warnings->setWordWrap(true);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* choices = new QFormLayout;
    choices->addRow(QStringLiteral("Encoding:"), cb_encoding);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lab_sheet);
    layout->addWidget(lv_tracks, 1);
    layout->addLayout(choices);
    layout->addWidget(rg_pregap);
    layout->addWidget(lab_warnings);
    layout->addWidget(buttons);
    resize(640, 420);
    ShowTracks();
}

void Tfm_cue::cb_encodingActivated(const QString& name) {
    try {
        import_.setEncoding(name.trimmed());
    } catch (const Error& e) {
        desktop_.warning(e.message());
    }
    ShowTracks();
}

void Tfm_cue::rg_pregapClick(int index) {
    if (index < 0 || index >= PregapChoices.size())
        return;
    try {
        import_.setPregap(static_cast<CueSheet::Pregap>(index));
    } catch (const Error& e) {
        desktop_.warning(e.message());
    }
    ShowTracks();
}

void Tfm_cue::ShowTracks() {
    const std::vector<SheetImport::Row> rows = import_.rows();
    lab_sheet->setText(
        QStringLiteral("%1 marks %2 tracks:").arg(import_.sheetName()).arg(rows.size()));
    lv_tracks->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const SheetImport::Row& row = rows[static_cast<size_t>(r)];
        const QString cells[] = {row.number, row.title, row.performer,
                                 row.begin,  row.end,   row.length};
        for (int c = 0; c < 6; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 0 || c >= 3)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            lv_tracks->setItem(r, c, item);
        }
    }
    {
        // The encoding shown is the one the sheet was read in.
        const QSignalBlocker quiet(cb_encoding);
        const QString encoding = import_.encoding();
        if (!encoding.isEmpty() && cb_encoding->findText(encoding) < 0)
            cb_encoding->insertItem(0, encoding);
        cb_encoding->setCurrentText(encoding);
    }
    {
        const QSignalBlocker quiet(rg_pregap);
        rg_pregap->setItemIndex(static_cast<int>(import_.pregap()));
    }
    lab_warnings->setText(import_.imported().warnings.join(QLatin1Char('\n')));
    lab_warnings->setVisible(!import_.imported().warnings.isEmpty());
}
