#include "tools/frmFind.h"

#include "grid/GridOperations.h"
#include "platform/Artwork.h"
#include "platform/BusyProgress.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/Units.h"
#include "platform/WidgetRoutines.h"
#include "store/FindMatch.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QCursor>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStringList>
#include <climits>
#include <optional>

namespace kv {

frmFind::frmFind(GridOperations& grid, QWidget* parent) : QDialog(parent), grid_(grid) {
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find"));
    setWindowIcon(appIcon());

    lblSearch = new QLabel(QStringLiteral("&Field to Search"), this);
    lblSearch->setObjectName(QStringLiteral("lblSearch"));
    cmbFieldToLookIn = new QComboBox(this);
    cmbFieldToLookIn->setObjectName(QStringLiteral("cmbFieldToLookIn"));
    cmbFieldToLookIn->setEditable(true);
    // Enter must reach the Find button instead of adding the typed text to the list.
    cmbFieldToLookIn->setInsertPolicy(QComboBox::NoInsert);
    // Completion may only ever produce an entry exactly as the list spells it.
    cmbFieldToLookIn->completer()->setCaseSensitivity(Qt::CaseSensitive);
    cmbFieldToLookIn->setMinimumWidth(twipsToPixels(2400, this));
    lblSearch->setBuddy(cmbFieldToLookIn);

    lblFindContent = new QLabel(QStringLiteral("&Search Content"), this);
    lblFindContent->setObjectName(QStringLiteral("lblFindContent"));
    txtFindContent = new QLineEdit(this);
    txtFindContent->setObjectName(QStringLiteral("txtFindContent"));
    txtFindContent->setMinimumWidth(twipsToPixels(3600, this));
    lblFindContent->setBuddy(txtFindContent);

    chkAnyPartOfField = new QCheckBox(QStringLiteral("Find Any Part of a Field"), this);
    chkAnyPartOfField->setObjectName(QStringLiteral("chkAnyPartOfField"));
    chkWholeFieldOnly = new QCheckBox(QStringLiteral("Find &Whole Field Only"), this);
    chkWholeFieldOnly->setObjectName(QStringLiteral("chkWholeFieldOnly"));

    btnFind = new QPushButton(QStringLiteral("&Find"), this);
    btnFind->setObjectName(QStringLiteral("btnFind"));
    btnFind->setDefault(true);
    btnFind->setEnabled(false);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(lblSearch, 0, 0);
    layout->addWidget(cmbFieldToLookIn, 0, 1);
    layout->addWidget(lblFindContent, 1, 0);
    layout->addWidget(txtFindContent, 1, 1);
    layout->addWidget(chkAnyPartOfField, 2, 1);
    layout->addWidget(chkWholeFieldOnly, 3, 1);
    layout->addWidget(btnFind, 0, 2);
    layout->addWidget(btnCancel, 1, 2);
    layout->setColumnMinimumWidth(2, twipsToPixels(1300, this));
    layout->setHorizontalSpacing(twipsToPixels(180, this));
    setTabOrder(cmbFieldToLookIn, txtFindContent);
    setTabOrder(txtFindContent, chkAnyPartOfField);
    setTabOrder(chkAnyPartOfField, chkWholeFieldOnly);
    setTabOrder(chkWholeFieldOnly, btnFind);
    setTabOrder(btnFind, btnCancel);

    connect(txtFindContent, &QLineEdit::textChanged, this, &frmFind::txtFindContent_Change);
    connect(cmbFieldToLookIn, &QComboBox::editTextChanged, this, &frmFind::cmbFieldToLookIn_Change);
    connect(btnFind, &QPushButton::clicked, this, &frmFind::btnFind_Click);
    connect(btnCancel, &QPushButton::clicked, this, &frmFind::btnCancel_Click);
    cmbFieldToLookIn->installEventFilter(this);
    txtFindContent->installEventFilter(this);

    // Loading, once per run.
    RemoveCloseMenu(this);
    SetComboBox(true);
}

void frmFind::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return; // coming back from minimised is not a new showing
    try {
        iSavedColumn = qint16(grid_.currentColumn());
        vSavedBookmark = grid_.currentBookmark();
        iSavedRow = grid_.currentRow();
        bGridMoved = false;
    } catch (const Error& e) {
        reportError(e, QStringLiteral("Form_Activate of Form frmFind"));
    } catch (const std::exception& e) {
        reportError(e, QStringLiteral("Form_Activate of Form frmFind"));
    }
    SetComboBox(false);
}

bool frmFind::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtFindContent && event->type() == QEvent::FocusIn) {
        SelectAllText(txtFindContent);
    } else if (watched == cmbFieldToLookIn && event->type() == QEvent::KeyPress) {
        cmbFieldToLookIn_Change();
    } else if (watched == cmbFieldToLookIn && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Only a move to another control of this window is checked: not the list popping up, another window
        // taking the focus, or the user reaching for Cancel with the mouse or its access key.
        const bool withinWindow = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                                  reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason ||
                                  reason == Qt::OtherFocusReason;
        const bool toCancel = QApplication::focusWidget() == btnCancel &&
                              (reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason);
        // The message box must not open inside the focus change itself, so the check runs right after it.
        if (withinWindow && !toCancel && !validationPending_) {
            validationPending_ = true;
            QMetaObject::invokeMethod(this, &frmFind::cmbFieldToLookIn_Validate, Qt::QueuedConnection);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmFind::SetComboBox(bool bInitial) {
    try {
        if (bInitial) {
            txtFindContent->clear();
            cmbFieldToLookIn->addItems(kFindFieldList);
        } else {
            cmbFieldToLookIn->setFocus(Qt::OtherFocusReason);
        }
        const int column = grid_.currentColumn();
        const int entry = column >= 1 && column <= kFindLastField ? column : kFindAllFields;
        cmbFieldToLookIn->setCurrentIndex(entry);
        // A text typed over the list earlier is replaced even when the entry itself stays the same.
        cmbFieldToLookIn->setEditText(kFindFieldList[entry]);
    } catch (const Error& e) {
        reportError(e, QStringLiteral("SetComboBox of Form frmFind"));
    } catch (const std::exception& e) {
        reportError(e, QStringLiteral("SetComboBox of Form frmFind"));
    }
}

bool frmFind::ComboboxDataNotFound() const {
    return !kFindFieldList.contains(cmbFieldToLookIn->currentText());
}

void frmFind::txtFindContent_Change() {
    btnFind->setEnabled(!trimBlanks(txtFindContent->text()).isEmpty() && !ComboboxDataNotFound());
}

void frmFind::cmbFieldToLookIn_Change() {
    // Unlike the text box's own rule, blanks count here: a text of blanks only can be searched for.
    btnFind->setEnabled(!txtFindContent->text().isEmpty() && !ComboboxDataNotFound());
}

void frmFind::cmbFieldToLookIn_Validate() {
    validationPending_ = false;
    if (!isVisible() || !ComboboxDataNotFound()) return;
    desktop().message(QStringLiteral("Please select from the list!"), {}, Buttons::Ok, Icon::Information);
    cmbFieldToLookIn->setFocus(Qt::OtherFocusReason);
}

void frmFind::btnFind_Click() {
    try {
        runSearch();
    } catch (const Error& e) {
        reportError(e, QStringLiteral("btnFind of Form frmFind"));
    } catch (const std::exception& e) {
        reportError(e, QStringLiteral("btnFind of Form frmFind"));
    }
}

void frmFind::runSearch() {
    // Find is only enabled while the text is one of the entries, so the field is taken from the text: a
    // typed entry counts as much as a chosen one.
    const int field = std::max(int(kFindFieldList.indexOf(cmbFieldToLookIn->currentText())), kFindAllFields);
    const bool allFields = field == kFindAllFields;
    const FindOptions options(txtFindContent->text(), chkAnyPartOfField->isChecked(), chkWholeFieldOnly->isChecked());

    // While it searches, the pointer is the window's own icon.
    std::optional<BusyProgress> busy;
    busy.emplace(this, QStringLiteral("Searching records..."), grid_.rowCount(),
                 QCursor(windowIcon().pixmap(32, 32)));
    // A cancelled search leaves the grid where this click found it.
    const GridPlace before{grid_.currentBookmark(), grid_.currentRow(), grid_.currentColumn()};
    const bool movedBefore = bGridMoved;

    grid_.moveFirst();
    bGridMoved = true;
    bFound = false;
    // The grid does not leave a row it cannot store, and has told the user why: the search cannot go on.
    const int rows = grid_.rowCount();
    if (rows > 0 && grid_.currentRow() != 0) return;
    grid_.setCurrentColumn(allFields ? 1 : field);

    // The first match row by row, and in a row column by column, is looked for among the rows as the grid
    // reads them fastest: the earliest one met so far is kept, and rows after it are passed over.
    const int columns = grid_.columnCount();
    const int firstColumn = allFields ? 1 : field;
    const int lastColumn = allFields ? columns - 1 : field;
    struct {
        int row = INT_MAX;
        int column = 0;
    } match;
    struct {
        int row = INT_MAX;
        int column = 0;
        QString matched;
    } candidate;
    const bool completed = grid_.scanRows(
        [&](int row, const GridRowTexts& texts) {
            if (row > match.row) return true;
            for (int column = firstColumn; column <= lastColumn; ++column) {
                const CellTest result = testCell(texts.text(column), options);
                if (!result.candidate) continue;
                if (options.wholeOnly && row < candidate.row) candidate = {row, column, result.matched};
                if (!options.wholeOnly || result.match) {
                    match = {row, column};
                    break;
                }
            }
            // Nothing comes before a match in the first row.
            return match.row != 0;
        },
        busy->callback());
    if (!completed) {
        restoreGrid(before);
        bGridMoved = movedBefore;
        return;
    }

    // The grid goes to the answer as a search row by row would have left it: in the column of the match,
    // or in the last column it could stand in before it (the grid keeps out of hidden columns).
    const auto stopAt = [&](int row, int column) {
        grid_.moveRows(row);
        if (allFields) {
            for (int c = 1; c <= column; ++c)
                grid_.setCurrentColumn(c);
        } else {
            grid_.setCurrentColumn(field);
        }
    };
    if (match.row != INT_MAX) {
        stopAt(match.row, match.column);
        bFound = true;
        busy.reset();
        ResetGridPointer(true);
        return;
    }
    if (rows > 0) stopAt(rows - 1, columns - 1);
    busy.reset();
    if (candidate.row == INT_MAX) {
        desktop().message(QStringLiteral("Text not found!"), {}, Buttons::Ok, Icon::Information);
        return;
    }
    desktop().beep();
    const Answer answer =
        desktop().message(QStringLiteral("A whole match was not found.  However, '") + candidate.matched +
                              QStringLiteral("' was found.") + QStringLiteral("\n") +
                              QStringLiteral("Would you like to go to this record?"),
                          {}, Buttons::YesNo, Icon::Question);
    if (answer != Answer::Yes) return;
    grid_.moveFirst();
    grid_.moveRows(candidate.row);
    grid_.setCurrentColumn(candidate.column);
    bFound = true;
    ResetGridPointer(true);
}

void frmFind::btnCancel_Click() {
    ResetGridPointer(true);
}

void frmFind::reject() {
    btnCancel_Click();
}

void frmFind::ResetGridPointer(bool bHide) {
    try {
        if (!bFound && bGridMoved) restoreGrid({vSavedBookmark, iSavedRow, iSavedColumn});
    } catch (const Error& e) {
        reportError(e, QStringLiteral("ResetGridPointer of Form frmFind"));
    } catch (const std::exception& e) {
        reportError(e, QStringLiteral("ResetGridPointer of Form frmFind"));
    }
    // The window has no close button, so it must still go away when the grid could not be put back.
    if (bHide) done(bFound ? Accepted : Rejected);
}

void frmFind::restoreGrid(const GridPlace& place) {
    if (!place.bookmark.isNull()) {
        // By bookmark rather than by counting rows: bookmarks keep their numbers when rows before them are
        // deleted, so counting would land on a later row.
        grid_.setCurrentBookmark(place.bookmark);
    } else {
        // There was no current data row: go back to the same place, the add-new row if it was that.
        grid_.moveFirst();
        if (place.row > 0) grid_.moveRows(place.row);
    }
    if (place.column > 0) grid_.setCurrentColumn(place.column);
}

} // namespace kv
