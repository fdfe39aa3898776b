#include "ui/FrmkovaLayout.h"

#include "ui/Fonts.h"
#include "ui/FrmkovaUi.h"

namespace kova {
namespace {

GridColumn makeColumn(const char16_t* field, const char16_t* title, const char16_t* hint, int width,
                      Qt::Alignment alignment, bool readOnly, bool titleButton = false)
{
    GridColumn c;
    c.field = QString::fromUtf16(field);
    c.title = QString::fromUtf16(title);
    c.hint = QString::fromUtf16(hint);
    c.width = width;
    c.alignment = alignment;
    c.readOnly = readOnly;
    c.titleButton = titleButton;
    return c;
}

constexpr Qt::Alignment LeftMiddle = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment Centre = Qt::AlignHCenter | Qt::AlignVCenter;
constexpr int DefaultWidth = GridColumn::DefaultWidth;

} // namespace

// Every column of both grids is read-only: the cells that act (picture, name, comparison,
// favorite, delete) act on a click, and a key typed into one must not overwrite its text.
std::vector<GridColumn> resultGridColumns()
{
    return {
        makeColumn(u"bz1", u"图片", u"点击下面的小图片可以浏览大图片", 70, LeftMiddle, true),
        makeColumn(u"cpmc", u"商品名称", u"点击下面的商品名称可以进入各大电商页面", 300, LeftMiddle, true),
        makeColumn(u"bz2", u"精准", u"点击精准比价可以获取更详细的比价信息", DefaultWidth, Centre, true),
        makeColumn(u"hdxx", u"优惠", u"", 150, LeftMiddle, true),
        makeColumn(u"jg", u"价格", u"点击此处列表按价格排序", 80, Centre, true, true),
        makeColumn(u"rc", u"人气", u"点击此处列表按人气排序", 80, Centre, true, true),
        makeColumn(u"sjlx", u"商家", u"", 80, Centre, true),
        makeColumn(u"zpbz", u"正品", u"", 50, Centre, true),
        makeColumn(u"pjjb", u"推荐等级", u"", 90, Centre, true),
        // The favorite column alone keeps its text at the top of the cell.
        makeColumn(u"check", u"收藏", u"", DefaultWidth, Qt::AlignHCenter | Qt::AlignTop, true),
    };
}

std::vector<GridColumn> favoritesGridColumns()
{
    std::vector<GridColumn> columns{
        makeColumn(u"bz1", u"图片", u"点击下面的小图片可以浏览大图片", 77, Centre, true),
        makeColumn(u"cpmc", u"商品名称", u"点击下面的商品名称可以进入各大电商页面", 300, LeftMiddle, true),
        makeColumn(u"jjcj", u"精准", u"点击精准比价可以获取更详细的比价信息", DefaultWidth, Centre, true),
        makeColumn(u"scsj", u"收藏时间", u"", 150, Centre, true),
        makeColumn(u"scjg", u"收藏价格", u"", 80, Centre, true),
        makeColumn(u"gxjg", u"更新价格", u"", 80, Centre, true),
        makeColumn(u"sjlx", u"商家", u"", 80, Centre, true),
        makeColumn(u"bz2", u"操作", u"", DefaultWidth, Centre, true),
    };
    columns[5].font = songFont(15, true);
    return columns;
}

ResizeWidths resizeColumnWidths(int W)
{
    return {
        {W / 4 + 10, W / 25, W / 10, W / 11, W / 9, W / 15, W / 15, W / 12, W / 15},
        {W / 4 + 20, W / 25, W / 10, W / 10, W / 5, W / 13, W / 12},
    };
}

void applyResizeStep(FrmkovaUi& ui, int W)
{
    // The window's own resize event may still be pending (hidden window): place the
    // frame's bars and views from the window's size first.
    ui.suiForm1->syncToWindow();
    const ResizeWidths widths = resizeColumnWidths(W);

    for (size_t i = 0; i < widths.results.size(); ++i)
        ui.DBGridEh1->setColumnWidth(static_cast<int>(i) + 1, widths.results[i]);

    // Halving truncates toward zero; a negative place is applied as it is.
    ui.suiPanel->move(ui.pan03->width() / 2 - 400, ui.pan03->height() / 2 - 250);

    for (size_t i = 0; i < widths.favorites.size(); ++i)
        ui.DBGridEh2->setColumnWidth(static_cast<int>(i) + 1, widths.favorites[i]);

    ui.suiImagePanel1->move(W / 2 - 400, ui.pan02->height() / 2);

    ui.suiImagePanel1->hide();
    ui.suiProgressBar1->setValue(0);
    ui.lbl2->clear();
    ui.lbl2->setAutoFillBackground(false);
    ui.suiImagePanel1->repaint();

    for (DBGridEh* grid : {ui.DBGridEh1, ui.DBGridEh2}) {
        grid->setFlat(true);
        grid->setFixedColor(GridFixedColor);
        grid->viewport()->repaint();
        grid->horizontalHeader()->viewport()->repaint();
    }
}

} // namespace kova
