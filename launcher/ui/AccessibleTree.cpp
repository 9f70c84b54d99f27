#include "launcher/ui/AccessibleTree.h"

#include <QAccessibleWidget>
#include <QComboBox>
#include <QFrame>
#include <QWidget>

#include <algorithm>

namespace {

constexpr char kHidden[] = "rombardAccessibleHidden";
constexpr char kNamedBox[] = "rombardAccessibleNamedBox";

bool isHidden(const QObject* o) {
    return o->property(kHidden).toBool();
}

// A container whose accessible children are its child widgets but the hidden ones.
class FilteredContainer : public QAccessibleWidget {
public:
    FilteredContainer(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    int childCount() const override { return int(shown().size()); }
    QAccessibleInterface* child(int index) const override {
        const QList<QWidget*> list = shown();
        if (index < 0 || index >= list.size()) return nullptr;
        return QAccessible::queryAccessibleInterface(list.at(index));
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child || !child->object()) return -1;
        return int(shown().indexOf(qobject_cast<QWidget*>(child->object())));
    }

private:
    QList<QWidget*> shown() const {
        QList<QWidget*> out;
        for (QObject* o : widget()->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            if (w && !w->isWindow() && !isHidden(w)) out.append(w);
        }
        return out;
    }
};

QAccessibleInterface* filteredContainers(const QString& className, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    if (!w) return nullptr;
    if (className != QLatin1String("QFrame") && className != QLatin1String("QWidget"))
        return nullptr;
    const QList<QWidget*> children = w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    if (std::none_of(children.begin(), children.end(), isHidden)) return nullptr;
    return new FilteredContainer(
        w, className == QLatin1String("QFrame") ? QAccessible::Border : QAccessible::Client);
}

// A combo box named by its accessible name; its value is the entry chosen.
class NamedComboBox : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        const auto* box = static_cast<const QComboBox*>(widget());
        switch (t) {
            case QAccessible::Name:
                return box->accessibleName().isEmpty() ? box->currentText() : box->accessibleName();
            case QAccessible::Value:
                return box->currentText();
            default:
                return QAccessibleWidget::text(t);
        }
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface) return nullptr;
        return QAccessibleWidget::interface_cast(t);
    }
};

QAccessibleInterface* namedComboBoxes(const QString&, QObject* object) {
    auto* box = qobject_cast<QComboBox*>(object);
    if (!box || !box->property(kNamedBox).toBool()) return nullptr;
    return new NamedComboBox(box);
}

}  // namespace

void nameComboBox(QComboBox* box) {
    static const bool installed = [] {
        QAccessible::installFactory(namedComboBoxes);
        return true;
    }();
    (void)installed;
    box->setProperty(kNamedBox, true);
}

void hideFromAccessibility(QWidget* widget) {
    static const bool installed = [] {
        QAccessible::installFactory(filteredContainers);
        return true;
    }();
    (void)installed;
    widget->setProperty(kHidden, true);
}
