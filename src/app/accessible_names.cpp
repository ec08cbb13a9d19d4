// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/accessible_names.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextEdit>

#include "presentation/localization.h"
#include "widgets/accessible_summary.h"
#include "widgets/widgets.h"

namespace {

// Marks a name these rules gave, so that the next run may replace or clear it; a name a page
// gave its control itself is left alone.
constexpr const char *DerivedName = "accessibleNameDerived";

// Controls without a caption of their own, named by a message key.
struct FixedName {
    const char *object;
    const char *key;
};
constexpr FixedName FixedNames[] = {
    {"sgSchedule", "AccScheduleTable"},   {"memDescription", "AccScheduleHelp"},
    {"mem", "AccMessageLog"},             {"memRC433", "AccRC433Codes"},
    {"dtp", "AccGeoDate"},
};

// Pages whose channel-indexed pairs ("trbMoon3") are named after the page and the channel.
constexpr const char *ChannelFamilies[] = {"WeatherDelay", "Moon", "Balance"};

bool operable(const QWidget *w)
{
    return qobject_cast<const QAbstractSlider *>(w) || qobject_cast<const QAbstractSpinBox *>(w)
           || qobject_cast<const QLineEdit *>(w) || qobject_cast<const QComboBox *>(w)
           || qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QAbstractItemView *>(w)
           || qobject_cast<const QPlainTextEdit *>(w) || qobject_cast<const QTextEdit *>(w);
}

// The control's own words on screen: a button's text, an edit's caption.
QString ownCaption(const QWidget *w)
{
    if (auto *button = qobject_cast<const QAbstractButton *>(w))
        return button->text().remove(u'&');
    if (auto *pair = qobject_cast<const LabeledEdit *>(w->parentWidget()); pair && pair->edit() == w)
        return pair->caption();
    return QString();
}

QString groupTitle(const QWidget *w)
{
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget())
        if (auto *box = qobject_cast<const QGroupBox *>(p))
            return box->title().remove(u'&');
    return QString();
}

QString tabCaption(const QWidget *w)
{
    for (const QWidget *p = w; p; p = p->parentWidget()) {
        // A tab's page sits in the tab widget's stack, which sits in the tab widget.
        const QWidget *stack = p->parentWidget();
        auto *tabs = stack ? qobject_cast<const QTabWidget *>(stack->parentWidget()) : nullptr;
        if (tabs && tabs->indexOf(const_cast<QWidget *>(p)) >= 0)
            return tabs->tabText(tabs->indexOf(const_cast<QWidget *>(p))).remove(u'&');
    }
    return QString();
}

bool hasLetters(const QString &text)
{
    for (QChar c : text)
        if (c.isLetter())
            return true;
    return false;
}

struct Named {
    QWidget *widget;
    QString name;
    QString description;
    // The name is the control's own text: left to Qt unless other controls show it too, so
    // that a text that changes later (Connect / Disconnect) is read as it is then.
    bool ownText = false;
};

// What a slider and the field beside it (a LabeledEdit "edtX" for a slider "trbX") set.
// Empty when the pair is not a channel's.
QString channelPairName(const QString &stem, const QWidget *w)
{
    static const QRegularExpression indexed(QStringLiteral("^([A-Za-z]*?)(\\d+)$"));
    const QRegularExpressionMatch m = indexed.match(stem);
    if (!m.hasMatch())
        return QString();
    const QString letter = ChannelLetter(m.captured(2).toInt());
    if (m.captured(1).isEmpty())
        return TranslateFmt(QStringLiteral("AccChannelLevel"), {letter});
    for (const char *family : ChannelFamilies)
        if (m.captured(1) == QLatin1String(family))
            return TranslateFmt(QStringLiteral("AccChannelOf"), {tabCaption(w), letter});
    return QString();
}

QString rangeDescription(const QWidget *w, const QString &unit)
{
    QStringList range = w->property("accessibleRange").toStringList();
    if (range.size() != 2) {
        auto *slider = qobject_cast<const QAbstractSlider *>(w);
        if (!slider)
            return QString();
        range = {QString::number(slider->minimum()), QString::number(slider->maximum())};
    }
    const QString text = TranslateFmt(QStringLiteral("AccRange"), range);
    return unit.isEmpty() ? text : text + u' ' + unit;
}

} // namespace

void ApplyAccessibleNames(QWidget *window)
{
    if (!window)
        return;
    InstallScaledSliderAccessibility();
    QList<Named> named;
    QHash<QString, int> uses; // how many controls a first-choice name would be given to
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (!operable(w))
            continue;
        if (!w->accessibleName().isEmpty() && !w->property(DerivedName).toBool())
            continue;
        const QString object = w->objectName();
        Named n{w, QString(), QString()};
        for (const FixedName &fixed : FixedNames)
            if (object == QLatin1String(fixed.object))
                n.name = Translate(QString::fromLatin1(fixed.key));

        // A slider and its field: "trbX" beside "edtX" (the field's own object name is "edtX_edit").
        auto *pair = qobject_cast<LabeledEdit *>(w->parentWidget());
        if (pair && pair->edit() != w)
            pair = nullptr;
        QString stem;
        if (pair)
            stem = pair->objectName().mid(3);
        else if (object.startsWith(QLatin1String("trb")))
            stem = object.mid(3);
        if (n.name.isEmpty() && !stem.isEmpty()) {
            auto *partner = pair ? static_cast<QWidget *>(window->findChild<QAbstractSlider *>(QStringLiteral("trb") + stem))
                                 : window->findChild<LabeledEdit *>(QStringLiteral("edt") + stem);
            auto *pairEdit = pair ? pair : qobject_cast<LabeledEdit *>(partner);
            const QString caption = pairEdit ? pairEdit->caption() : QString();
            QString base = channelPairName(stem, w);
            const bool unitOnly = !caption.isEmpty() && !hasLetters(caption);
            if (base.isEmpty() && !unitOnly)
                base = caption;
            if (!base.isEmpty() && partner) {
                n.name = !pair ? base
                         : unitOnly ? TranslateFmt(QStringLiteral("AccInUnit"), {base, caption})
                                    : TranslateFmt(QStringLiteral("AccValueOf"), {base});
                n.description = rangeDescription(pair ? partner : w, unitOnly ? caption : QString());
            }
        }

        static const QRegularExpression channelControl(QStringLiteral("^(btnOff|btnOn|cmbName)(\\d+)$"));
        if (const QRegularExpressionMatch m = channelControl.match(object); n.name.isEmpty() && m.hasMatch()) {
            const QString key = m.captured(1) == QLatin1String("btnOff")  ? QStringLiteral("AccChannelOff")
                                : m.captured(1) == QLatin1String("btnOn") ? QStringLiteral("AccChannelOn")
                                                                          : QStringLiteral("AccChannelColour");
            n.name = TranslateFmt(key, {ChannelLetter(m.captured(2).toInt())});
        }
        // On Linux a combo box reads out its current item as its name whatever it is named;
        // what it chooses comes from the label it is the buddy of ("labelled by").
        if (object.startsWith(QLatin1String("cmb")))
            if (auto *label = window->findChild<QLabel *>(QStringLiteral("lbl") + object.mid(3))) {
                if (!label->buddy())
                    label->setBuddy(w);
                if (n.name.isEmpty())
                    n.name = label->text().remove(u'&');
            }
        if (n.name.isEmpty()) {
            n.name = ownCaption(w);
            n.ownText = !n.name.isEmpty();
        }
        if (n.name.isEmpty() && qobject_cast<QAbstractSlider *>(w))
            n.name = groupTitle(w);
        if (n.name.isEmpty())
            continue; // Qt's own name (a label's buddy, the widget's text) serves
        if (n.description.isEmpty() && qobject_cast<QAbstractSlider *>(w))
            n.description = rangeDescription(w, QString());
        ++uses[n.name];
        named.append(n);
    }

    // A caption several controls show ("Trigger/stop now", "Dimming speed") is told apart by
    // the group, then by the page the control is on.
    for (auto qualify : {groupTitle, tabCaption}) {
        QHash<QString, int> next;
        for (Named &n : named) {
            // A name of a letter or two ("A" of a bit mask) says whose, not what.
            if (uses.value(n.name) > 1 || n.name.size() <= 2) {
                const QString context = qualify(n.widget);
                if (!context.isEmpty() && !n.name.startsWith(context)) {
                    n.name = context + QStringLiteral(": ") + n.name;
                    n.ownText = false;
                }
            }
            ++next[n.name];
        }
        uses = next;
    }
    for (const Named &n : named) {
        n.widget->setAccessibleName(n.ownText ? QString() : n.name);
        n.widget->setProperty(DerivedName, true);
        // The range goes before the hint, which Qt would otherwise read as the description.
        const QString hint = n.widget->toolTip();
        n.widget->setAccessibleDescription(hint.isEmpty() || n.description.isEmpty() ? n.description
                                                                                    : n.description + QStringLiteral(". ") + hint);
    }
}
