#include "ui/Accessibility.h"

#include "ui/ClickLabel.h"
#include "ui/EdgeResize.h"

#include <QAccessibleWidget>

namespace kova {
namespace {

class AccessibleClickLabel : public QAccessibleWidget {
public:
    explicit AccessibleClickLabel(ClickLabel* label)
        : QAccessibleWidget(label, label->text().isEmpty() ? QAccessible::Button : QAccessible::Link)
    {
    }

    QAccessible::Role role() const override
    {
        return label()->text().isEmpty() ? QAccessible::Button : QAccessible::Link;
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return label()->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            label()->click();
    }

private:
    ClickLabel* label() const { return static_cast<ClickLabel*>(widget()); }
};

// A grip is for the pointer only: a screen reader passes over it.
class AccessibleGrip : public QAccessibleWidget {
public:
    explicit AccessibleGrip(QWidget* grip) : QAccessibleWidget(grip, QAccessible::Grip) {}
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        return s;
    }
};

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("kova::AccessibleText"))
        return new QAccessibleWidget(static_cast<QWidget*>(object),
                                     static_cast<AccessibleText*>(object)->role());
    if (className == QLatin1String("kova::ClickLabel"))
        return new AccessibleClickLabel(static_cast<ClickLabel*>(object));
    if (className == QLatin1String("kova::StatusBar"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::StatusBar);
    if (className == QLatin1String("kova::EdgeGrip"))
        return new AccessibleGrip(static_cast<QWidget*>(object));
    // The program's own top-level windows (the main window, the about window) are windows.
    if (className.startsWith(QLatin1String("kova::")) && object->isWidgetType() &&
        static_cast<QWidget*>(object)->isWindow())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

void installAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

AccessibleText::AccessibleText(QAccessible::Role role, QWidget* parent) : QWidget(parent), m_role(role)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

} // namespace kova
