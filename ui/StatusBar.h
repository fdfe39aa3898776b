#pragma once

#include <QColor>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <vector>

namespace kova {

// A status bar of panels with fixed widths; the last panel takes the rest of the bar.
// Texts are drawn centred in each panel; a screen reader reads each panel's current text.
class StatusBar : public QWidget {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    // Width -1: the rest of the bar.
    void addPanel(int width, const QString& text = {});
    int panelCount() const { return static_cast<int>(m_panels.size()); }
    // The panel's own text; it also ends a passing text the panel shows.
    void setPanelText(int panel, const QString& text);
    // A passing notice (a copied link, an export, price drops): shown for `duration`, then
    // the panel's own text comes back.
    void showPassingText(int panel, const QString& text,
                         std::chrono::milliseconds duration = PassingTextDuration);
    // What the panel shows now: a passing text while it lasts, else its own.
    QString panelText(int panel) const;
    static constexpr std::chrono::milliseconds PassingTextDuration{5000};
    QRect panelRect(int panel) const;

    void setColor(const QColor& color);
    QColor color() const { return m_color; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeStandIns();
    void showText(int panel); // draws and announces what the panel shows now

    struct Panel {
        int width;
        QString text;
        QWidget* standIn;          // what a screen reader finds of the panel
        QString passing;           // shown instead of text while `restore` runs
        QTimer* restore = nullptr; // made at the panel's first passing text
    };
    std::vector<Panel> m_panels;
    QColor m_color{241, 241, 241};
};

} // namespace kova
