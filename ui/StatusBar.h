#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

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
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;
    QRect panelRect(int panel) const;

    void setColor(const QColor& color);
    QColor color() const { return m_color; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeStandIns();

    struct Panel {
        int width;
        QString text;
        QWidget* standIn; // what a screen reader finds of the panel
    };
    std::vector<Panel> m_panels;
    QColor m_color{241, 241, 241};
};

} // namespace kova
