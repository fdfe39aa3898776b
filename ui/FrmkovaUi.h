#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>

#include <array>

#include "ui/ClickLabel.h"
#include "ui/DBGridEh.h"
#include "ui/SkinButton.h"
#include "ui/SkinFrame.h"
#include "ui/SkinPanel.h"
#include "ui/SkinToolBar.h"
#include "ui/StatusBar.h"

namespace kova {

// The controls of the main window, under their design names, built by setupUi with the
// design texts, positions, sizes, fonts and colours. Every control is a child of the
// window (object name = member name) and owned by it.
struct FrmkovaUi {
    static constexpr int DesignWidth = 994;
    static constexpr int DesignHeight = 695;
    static constexpr int ToolBarHeight = 55;
    static constexpr int StatusBarHeight = 21;
    static constexpr int HotKeywordRows = 6;
    static constexpr int HotKeywordColumns = 8;

    SkinFrame* suiForm1 = nullptr;

    SkinToolBar* suiToolBar1 = nullptr;
    QToolButton* ToolButton1 = nullptr; // separator
    QToolButton* btn1 = nullptr;
    QToolButton* btn2 = nullptr;
    QToolButton* btn3 = nullptr;
    QToolButton* ToolButton2 = nullptr; // separator
    QToolButton* btn5 = nullptr;
    QToolButton* btn8 = nullptr;
    QToolButton* btn7 = nullptr;
    QToolButton* btn9 = nullptr;
    QToolButton* ToolButton6 = nullptr; // separator
    QToolButton* btn10 = nullptr;

    // Start page.
    SkinPanel* pan03 = nullptr;
    SkinPanel* suiPanel = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* edt_key = nullptr;
    SkinButton* suiButton4 = nullptr;
    // lab01 … lab08, lab11 … lab18, …, lab51 … lab58 in row order.
    std::array<ClickLabel*, HotKeywordRows * HotKeywordColumns> hotKeywords{};
    std::array<ClickLabel*, 8> storeImages{}; // Image1 … Image8

    // Results view.
    SkinPanel* pan01 = nullptr;
    SkinPanel* pnl1 = nullptr;
    QLabel* lbl1 = nullptr;
    QLineEdit* Edt_word = nullptr;
    SkinButton* suiButton1 = nullptr;
    SkinPanel* pnl2 = nullptr;
    DBGridEh* DBGridEh1 = nullptr;
    SkinPanel* pnl3 = nullptr;
    QCheckBox* suiCheckBox1 = nullptr;
    QCheckBox* suiCheckBox2 = nullptr;
    QCheckBox* suiCheckBox3 = nullptr;
    QCheckBox* suiCheckBox4 = nullptr;
    QCheckBox* suiCheckBox5 = nullptr;
    QCheckBox* suiCheckBox6 = nullptr;
    QCheckBox* suiCheckBox7 = nullptr;
    QCheckBox* suiCheckBox8 = nullptr;

    // Favorites view.
    SkinPanel* pan02 = nullptr;
    DBGridEh* DBGridEh2 = nullptr;

    StatusBar* StatusBar1 = nullptr;

    // Progress panel and picture preview, floating above the views.
    SkinPanel* suiImagePanel1 = nullptr;
    QLabel* lbl2 = nullptr;
    QProgressBar* suiProgressBar1 = nullptr;
    SkinPanel* BigPanel = nullptr;
    ClickLabel* BigImage = nullptr;

    void setupUi(QWidget* window);

    // The hot keyword label of row r (0 … 5) and column c (1 … 8), named "lab" r c.
    ClickLabel* hotKeyword(int r, int c) const { return hotKeywords[static_cast<size_t>(r * 8 + c - 1)]; }
    std::array<QCheckBox*, 8> checkBoxes() const;
    std::array<QToolButton*, 11> toolBarItems() const; // left to right, separators included
};

// Design texts.
inline const QString DesignCaption = QStringLiteral(" Kova比价软件");
inline const QString StartStatusText = QStringLiteral("货比三家，比价帮助您更省钱、省事！");

// Captions of the 48 hot keywords, in row order.
const std::array<QString, 48>& hotKeywordCaptions();

} // namespace kova
