// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/load_language.h"

#include "app/accessible_names.h"

#include "presentation/localization.h"
#include "widgets/widgets.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QWidget>

namespace {

enum class Kind {
    None,
    MenuItem,
    Button,
    GroupBox,
    Label,
    Memo,
    LabeledEdit,
    Edit,
    ComboBox,
    PageControl,
    TrackBar,
    Page,
};

struct Component {
    Kind kind = Kind::None;
    QObject *object = nullptr; // for a menu item always the QAction
    QTabWidget *tabs = nullptr; // for a page
    int tabIndex = -1;
};

bool takesCaption(Kind kind)
{
    switch (kind) {
    case Kind::MenuItem:
    case Kind::Button:
    case Kind::GroupBox:
    case Kind::Label:
    case Kind::Memo:
    case Kind::LabeledEdit:
    case Kind::Page:
        return true;
    default:
        return false;
    }
}

bool takesHint(Kind kind)
{
    return kind != Kind::None;
}

bool hasCaptionProperty(const QObject *object)
{
    return object->metaObject()->indexOfProperty("caption") >= 0
           || object->property("caption").isValid();
}

Component classify(QObject *object)
{
    Component c;
    c.object = object;
    if (qobject_cast<QAction *>(object)) {
        c.kind = Kind::MenuItem;
    } else if (auto *menu = qobject_cast<QMenu *>(object)) {
        c.kind = Kind::MenuItem;
        c.object = menu->menuAction();
    } else if (qobject_cast<QAbstractButton *>(object)) {
        c.kind = Kind::Button;
    } else if (qobject_cast<QGroupBox *>(object)) {
        c.kind = Kind::GroupBox;
    } else if (qobject_cast<QLabel *>(object)) {
        c.kind = Kind::Label;
    } else if (qobject_cast<QPlainTextEdit *>(object) || qobject_cast<QTextEdit *>(object)) {
        c.kind = Kind::Memo;
    } else if (object->isWidgetType() && hasCaptionProperty(object)) {
        c.kind = Kind::LabeledEdit;
    } else if (qobject_cast<QLineEdit *>(object)) {
        c.kind = Kind::Edit;
    } else if (qobject_cast<QComboBox *>(object)) {
        c.kind = Kind::ComboBox;
    } else if (qobject_cast<QTabWidget *>(object)) {
        c.kind = Kind::PageControl;
    } else if (qobject_cast<QAbstractSlider *>(object)) {
        c.kind = Kind::TrackBar;
    } else if (auto *widget = qobject_cast<QWidget *>(object)) {
        // A page sits in the tab widget's internal stack; the nearest tab widget above
        // it is the one whose tab it owns.
        for (QWidget *p = widget->parentWidget(); p; p = p->parentWidget()) {
            if (auto *tabs = qobject_cast<QTabWidget *>(p)) {
                const int index = tabs->indexOf(widget);
                if (index >= 0) {
                    c.kind = Kind::Page;
                    c.tabs = tabs;
                    c.tabIndex = index;
                }
                break;
            }
        }
    }
    return c;
}

// The first object of that name that is of a known kind. A menu may carry the name on
// both the QMenu and its action; either serves.
Component find(QWidget *window, const QString &name)
{
    if (!window || name.isEmpty())
        return {};
    const QList<QObject *> candidates = window->findChildren<QObject *>(name);
    for (QObject *candidate : candidates) {
        const Component c = classify(candidate);
        if (c.kind != Kind::None)
            return c;
    }
    return {};
}

QTextDocument *memoDocument(QObject *object)
{
    if (auto *plain = qobject_cast<QPlainTextEdit *>(object))
        return plain->document();
    if (auto *rich = qobject_cast<QTextEdit *>(object))
        return rich->document();
    return nullptr;
}

// Puts the text above whatever has been logged so far. A final line break in the text
// ends its last line, so the log's lines continue right below it, as after a blank line
// when the text ends in two breaks.
void prependToLog(QTextDocument *document, QString text)
{
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::Start);
    if (document->isEmpty())
        cursor.insertText(text);
    else
        cursor.insertText(text + QLatin1Char('\n'));
}

QString captionOf(const Component &c)
{
    switch (c.kind) {
    case Kind::MenuItem:
        return static_cast<QAction *>(c.object)->text();
    case Kind::Button:
        return static_cast<QAbstractButton *>(c.object)->text();
    case Kind::GroupBox:
        return static_cast<QGroupBox *>(c.object)->title();
    case Kind::Label:
        return static_cast<QLabel *>(c.object)->text();
    case Kind::LabeledEdit:
        return c.object->property("caption").toString();
    case Kind::Page:
        return c.tabs->tabText(c.tabIndex);
    case Kind::Memo:
        return memoDocument(c.object)->toPlainText();
    default:
        return QString();
    }
}

void setCaption(const Component &c, const QString &text)
{
    switch (c.kind) {
    case Kind::MenuItem:
        static_cast<QAction *>(c.object)->setText(text);
        break;
    case Kind::Button:
        static_cast<QAbstractButton *>(c.object)->setText(text);
        break;
    case Kind::GroupBox:
        static_cast<QGroupBox *>(c.object)->setTitle(text);
        break;
    case Kind::Label:
        static_cast<QLabel *>(c.object)->setText(text);
        break;
    case Kind::LabeledEdit:
        c.object->setProperty("caption", text);
        break;
    case Kind::Page:
        c.tabs->setTabText(c.tabIndex, text);
        break;
    case Kind::Memo:
        if (c.object->objectName() == QLatin1String("mem"))
            prependToLog(memoDocument(c.object), text);
        else
            memoDocument(c.object)->setPlainText(text);
        break;
    default:
        break;
    }
}

void setHint(const Component &c, const QString &text)
{
    switch (c.kind) {
    case Kind::MenuItem: {
        auto *action = static_cast<QAction *>(c.object);
        action->setToolTip(text);
        action->setStatusTip(text);
        break;
    }
    case Kind::Page:
        c.tabs->setTabToolTip(c.tabIndex, text);
        break;
    case Kind::LabeledEdit:
        // Any other widget with a caption property gets a tool tip on the container; it
        // also shows over the children, which have none of their own.
        if (auto *edit = qobject_cast<LabeledEdit *>(c.object))
            edit->setHint(text);
        else
            static_cast<QWidget *>(c.object)->setToolTip(text);
        break;
    case Kind::None:
        break;
    default:
        static_cast<QWidget *>(c.object)->setToolTip(text);
        break;
    }
}

enum class Property { Caption, Hint, Unknown };

Property splitKey(const QString &key, QString *component)
{
    static const QString caption = QStringLiteral(".Caption");
    static const QString hint = QStringLiteral(".Hint");
    qsizetype at = key.indexOf(caption);
    if (at >= 0) {
        *component = key.left(at);
        return Property::Caption;
    }
    at = key.indexOf(hint);
    if (at >= 0) {
        *component = key.left(at);
        return Property::Hint;
    }
    return Property::Unknown;
}

void copyCaption(QWidget *window, const QString &from, const QString &to)
{
    const Component source = find(window, from);
    const Component target = find(window, to);
    if (takesCaption(source.kind) && takesCaption(target.kind))
        setCaption(target, captionOf(source));
}

void applyDerivedCaptions(QWidget *window, int language)
{
    const Component languageBox = find(window, QStringLiteral("cmbLanguage"));
    if (languageBox.kind == Kind::ComboBox) {
        auto *box = static_cast<QComboBox *>(languageBox.object);
        const QSignalBlocker blocker(box);
        box->clear();
        box->addItems({Translate(QStringLiteral("English")), Translate(QStringLiteral("German"))});
        box->setCurrentIndex(language);
    }

    // Channel 0's controls hold the templates, so they are rewritten last.
    const Component on0 = find(window, QStringLiteral("btnOn0"));
    const Component off0 = find(window, QStringLiteral("btnOff0"));
    const Component name0 = find(window, QStringLiteral("lblName0"));
    const QString onText = takesCaption(on0.kind) ? captionOf(on0) : QString();
    const QString offText = takesCaption(off0.kind) ? captionOf(off0) : QString();
    const QString nameTemplate = takesCaption(name0.kind) ? captionOf(name0) : QString();
    for (int i = 11; i >= 0; --i) {
        const QString n = QString::number(i);
        const Component on = find(window, QStringLiteral("btnOn") + n);
        if (takesCaption(on0.kind) && takesCaption(on.kind))
            setCaption(on, onText);
        const Component off = find(window, QStringLiteral("btnOff") + n);
        if (takesCaption(off0.kind) && takesCaption(off.kind))
            setCaption(off, offText);
        const Component name = find(window, QStringLiteral("lblName") + n);
        if (takesCaption(name0.kind) && takesCaption(name.kind))
            setCaption(name, FormatText(nameTemplate, {ChannelLetter(i)}));
    }

    const Component pageAF = find(window, QStringLiteral("tsChannels"));
    if (takesCaption(pageAF.kind)) {
        const QString pageTemplate = captionOf(pageAF);
        const Component pageGL = find(window, QStringLiteral("tsChannelsGL"));
        if (takesCaption(pageGL.kind))
            setCaption(pageGL, FormatText(pageTemplate, {QStringLiteral("G-L")}));
        setCaption(pageAF, FormatText(pageTemplate, {QStringLiteral("A-F")}));
    }

    copyCaption(window, QStringLiteral("rbtCHMTempWater"), QStringLiteral("mnuCHMTempWater"));
    copyCaption(window, QStringLiteral("rbtCHMVoltage"), QStringLiteral("mnuCHMVoltage"));
    copyCaption(window, QStringLiteral("rbtCHMTempSlave"), QStringLiteral("mnuCHMTempSlave"));
    copyCaption(window, QStringLiteral("rbtCHMTempWater"), QStringLiteral("edtCloudTempWater"));
}

} // namespace

void ApplyCaptions(QWidget *window, const QList<LanguageTable::Entry> &entries)
{
    if (!window)
        return;
    for (const LanguageTable::Entry &entry : entries) {
        QString name;
        const Property property = splitKey(entry.key, &name);
        if (property == Property::Unknown)
            continue;
        const Component c = find(window, name);
        const QString text = ExpandLineBreaks(entry.value);
        if (property == Property::Caption && takesCaption(c.kind))
            setCaption(c, text);
        else if (property == Property::Hint && takesHint(c.kind))
            setHint(c, text);
    }
}

void LoadLanguage(QWidget *window, int language)
{
    const int chosen = LoadLanguageTable(language);
    if (!window)
        return;
    ApplyCaptions(window, FormCaptionEntries());
    applyDerivedCaptions(window, chosen);
    // Drawn from the captions just set, so after them.
    ApplyAccessibleNames(window);
}

QStringList UnresolvedLanguageKeys(QWidget *window)
{
    QStringList unresolved;
    for (const LanguageTable::Entry &entry : FormCaptionEntries()) {
        QString name;
        const Property property = splitKey(entry.key, &name);
        const Component c = property == Property::Unknown ? Component() : find(window, name);
        const bool fits = property == Property::Caption ? takesCaption(c.kind)
                                                        : takesHint(c.kind);
        if (!fits)
            unresolved.append(entry.key);
    }
    return unresolved;
}
