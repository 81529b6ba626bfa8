#include "tools/frmColorPicker.h"

#include "platform/Units.h"
#include "tools/ColorSwatch.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

// Rows top to bottom: black and greys down the first column, then dark to light of each hue.
const std::array<frmColorPicker::PaletteEntry, 40> frmColorPicker::kPalette = {{
    {0, 0, 0, 0, 0, 0},        {9, 0, 1, 128, 0, 0},      {14, 0, 2, 128, 64, 0},    {19, 0, 3, 128, 128, 0},
    {24, 0, 4, 0, 128, 0},     {29, 0, 5, 0, 128, 128},   {34, 0, 6, 0, 0, 128},     {39, 0, 7, 128, 0, 128},
    {2, 1, 0, 128, 128, 128},  {8, 1, 1, 192, 0, 0},      {13, 1, 2, 192, 64, 0},    {18, 1, 3, 192, 192, 0},
    {23, 1, 4, 0, 192, 0},     {28, 1, 5, 0, 192, 192},   {33, 1, 6, 0, 0, 192},     {38, 1, 7, 192, 0, 192},
    {3, 2, 0, 192, 192, 192},  {7, 2, 1, 255, 0, 0},      {12, 2, 2, 255, 128, 0},   {17, 2, 3, 255, 255, 0},
    {22, 2, 4, 0, 255, 0},     {27, 2, 5, 0, 255, 255},   {32, 2, 6, 0, 0, 255},     {37, 2, 7, 255, 0, 255},
    {4, 3, 0, 224, 224, 224},  {6, 3, 1, 255, 128, 128},  {11, 3, 2, 255, 192, 128}, {16, 3, 3, 255, 255, 128},
    {21, 3, 4, 128, 255, 128}, {26, 3, 5, 128, 255, 255}, {31, 3, 6, 128, 128, 255}, {36, 3, 7, 255, 128, 255},
    {5, 4, 0, 255, 255, 255},  {1, 4, 1, 255, 192, 192},  {10, 4, 2, 255, 224, 192}, {15, 4, 3, 255, 255, 192},
    {20, 4, 4, 192, 255, 192}, {25, 4, 5, 192, 255, 255}, {30, 4, 6, 192, 192, 255}, {35, 4, 7, 255, 192, 255},
}};

namespace {
constexpr int kSwatch = 255, kColumnPitch = 360, kRowPitch = 375, kMargin = 120;
constexpr int kRows = 5, kColumns = 8;
} // namespace

frmColorPicker::frmColorPicker(qint64 color, QWidget* parent) : QDialog(parent), color_(color) {
    setObjectName(QStringLiteral("frmColorPicker"));
    setWindowTitle(QString());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto px = [this](int twips) { return twipsToPixels(twips, this); };

    Frame1_ = new QFrame(this);
    Frame1_->setObjectName(QStringLiteral("Frame1"));
    Frame1_->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Frame1_->setFixedSize(px(2 * kMargin + (kColumns - 1) * kColumnPitch + kSwatch),
                          px(2 * kMargin + (kRows - 1) * kRowPitch + kSwatch));
    // Swatches are created row by row, in reading order.
    for (const PaletteEntry& entry : kPalette) {
        auto* swatch = new ColorSwatch(Frame1_);
        swatch->setObjectName(QStringLiteral("MiniPicker%1").arg(entry.index));
        swatch->setColor(bgrFromColor(QColor(entry.red, entry.green, entry.blue)));
        swatch->setGeometry(px(kMargin + entry.column * kColumnPitch), px(kMargin + entry.row * kRowPitch), px(kSwatch),
                            px(kSwatch));
        const int index = entry.index;
        connect(swatch, &ColorSwatch::pressed, this, [this, index] { MiniPicker_MouseDown(index); });
        connect(swatch, &ColorSwatch::doubleClicked, this, [this, index] { MiniPicker_DblClick(index); });
        connect(swatch, &ColorSwatch::arrowPressed, this, [this, index](int key) { moveFocus(index, key); });
        MiniPicker_[size_t(index)] = swatch;
    }

    auto* lblCurColor = new QLabel(QStringLiteral("Selected Color :"), this);
    lblCurColor->setObjectName(QStringLiteral("lblCurColor"));
    CurColor_ = new ColorSwatch(this);
    CurColor_->setObjectName(QStringLiteral("CurColor"));
    CurColor_->setCaption(QStringLiteral("Selected Color :"));
    CurColor_->setFixedSize(px(735), px(375));
    CurColor_->setColor(color);
    lblCurColor->setBuddy(CurColor_);
    connect(CurColor_, &ColorSwatch::doubleClicked, this, &frmColorPicker::CurColor_DblClick);

    btnPick_ = new QPushButton(QStringLiteral("Choice"), this);
    btnPick_->setObjectName(QStringLiteral("btnPick"));
    btnPick_->setDefault(true);
    connect(btnPick_, &QPushButton::clicked, this, &frmColorPicker::btnPick_Click);
    btnReturn_ = new QPushButton(QStringLiteral("Return"), this);
    btnReturn_->setObjectName(QStringLiteral("btnReturn"));
    connect(btnReturn_, &QPushButton::clicked, this, &frmColorPicker::btnReturn_Click);

    auto* current = new QHBoxLayout;
    current->addWidget(lblCurColor);
    current->addWidget(CurColor_);
    current->addStretch();
    current->addWidget(btnPick_);
    current->addWidget(btnReturn_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1_);
    layout->addLayout(current);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (ColorSwatch* swatch : MiniPicker_)
        swatch->setFocusPolicy(swatch == MiniPicker_[0] ? Qt::StrongFocus : Qt::ClickFocus);
    // Opening shows the colour it was given; the palette is entered with Tab.
    btnPick_->setFocus();
}

void frmColorPicker::MiniPicker_MouseDown(int index) {
    CurColor_->setColor(MiniPicker_[size_t(index)]->color());
    // The palette is one stop of Tab: the swatch last used, the arrows move within it.
    for (ColorSwatch* swatch : MiniPicker_)
        swatch->setFocusPolicy(swatch == MiniPicker_[size_t(index)] ? Qt::StrongFocus : Qt::ClickFocus);
}

void frmColorPicker::MiniPicker_DblClick(int) {
    acceptColor();
}

void frmColorPicker::CurColor_DblClick() {
    acceptColor();
}

void frmColorPicker::btnPick_Click() {
    acceptColor();
}

void frmColorPicker::btnReturn_Click() {
    chosen_ = false;
    reject();
}

void frmColorPicker::acceptColor() {
    color_ = CurColor_->color();
    chosen_ = true;
    accept();
}

void frmColorPicker::moveFocus(int index, int key) {
    int row = 0, column = 0;
    for (const PaletteEntry& entry : kPalette)
        if (entry.index == index) row = entry.row, column = entry.column;
    switch (key) {
    case Qt::Key_Left:
        column = (column + kColumns - 1) % kColumns;
        break;
    case Qt::Key_Right:
        column = (column + 1) % kColumns;
        break;
    case Qt::Key_Up:
        row = (row + kRows - 1) % kRows;
        break;
    case Qt::Key_Down:
        row = (row + 1) % kRows;
        break;
    default:
        return;
    }
    // Moving with the arrows shows each colour as the current one, as pressing it would.
    const PaletteEntry& to = kPalette[size_t(row * kColumns + column)];
    MiniPicker_[size_t(to.index)]->setFocus(Qt::OtherFocusReason);
    MiniPicker_MouseDown(to.index);
}

} // namespace kv
