// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader finds in the main window: every control a user can operate, on every
// page shown, has a name of its own, in English and after a switch to German; the schedule
// table names its cells by row and column; the views say in words what they show.
#include <QAccessible>
#include <QApplication>
#include <QMap>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

#include "app/load_language.h"
#include "sim_fixture.h"

namespace {

bool operable(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::Slider: case QAccessible::SpinBox: case QAccessible::EditableText:
    case QAccessible::ComboBox: case QAccessible::CheckBox: case QAccessible::RadioButton:
    case QAccessible::Button: case QAccessible::PageTab: case QAccessible::Table:
        return true;
    default:
        return false;
    }
}

// The tab widget whose page the widget is (a page sits in the tab widget's stack).
QTabWidget *tabsOfPage(QWidget *page)
{
    QWidget *stack = page->parentWidget();
    auto *tabs = stack ? qobject_cast<QTabWidget *>(stack->parentWidget()) : nullptr;
    return tabs && tabs->indexOf(page) >= 0 ? tabs : nullptr;
}

// Hidden on purpose (a control this version never shows, a page whose tab is off) as
// opposed to hidden because another tab is in front.
bool hiddenByDesign(const QWidget *widget, const TfrmLumora *w)
{
    for (QWidget *p = const_cast<QWidget *>(widget); p && p != w; p = p->parentWidget()) {
        if (QTabWidget *tabs = tabsOfPage(p)) {
            if (!tabs->isTabVisible(tabs->indexOf(p)))
                return true;
        } else if (p->isHidden()) {
            return true;
        }
    }
    return false;
}

// Brings every tab that holds the widget to the front.
void showTabsOf(QWidget *widget)
{
    for (QWidget *p = widget; p; p = p->parentWidget())
        if (QTabWidget *tabs = tabsOfPage(p))
            tabs->setCurrentWidget(p);
}

struct Found {
    QStringList offenders;
    QMap<QString, QString> nameOf; // objectName (or tab text) -> accessible name
    int checked = 0;
};

void walk(QAccessibleInterface *iface, const TfrmLumora *w, const QWidget *owner, Found &found,
          QMap<QString, QStringList> &byName)
{
    if (!iface || !iface->isValid())
        return;
    const QWidget *widget = qobject_cast<const QWidget *>(iface->object());
    if (widget)
        owner = widget;
    if (owner && hiddenByDesign(owner, w))
        return;
    const QAccessible::Role role = iface->role();
    if (operable(role) && owner) {
        QString name = iface->text(QAccessible::Name).trimmed();
        // On Linux a combo box's name is its current item; a reader says the label it is
        // labelled by.
        const auto labels = iface->relations(QAccessible::Label);
        if (role == QAccessible::ComboBox && !labels.isEmpty())
            name = labels.first().first->text(QAccessible::Name).trimmed();
        const QString id = widget ? widget->objectName() + u'/' + QString::fromLatin1(widget->metaObject()->className())
                                  : owner->objectName() + u'#' + name;
        ++found.checked;
        found.nameOf.insert(widget ? widget->objectName() : id, name);
        if (name.isEmpty())
            found.offenders << QStringLiteral("no name: ") + id;
        else
            byName[name] << id;
        if (role == QAccessible::Table) {
            QAccessibleTableInterface *table = iface->tableInterface();
            QAccessibleInterface *cell = table ? table->cellAt(0, 0) : nullptr;
            auto *cellIface = cell ? cell->tableCellInterface() : nullptr;
            if (!cellIface || cellIface->rowHeaderCells().isEmpty() || cellIface->columnHeaderCells().isEmpty())
                found.offenders << QStringLiteral("table cells without headers: ") + id;
            return;
        }
    }
    if (role == QAccessible::Table || role == QAccessible::List)
        return; // cells and list items are checked above or are data
    for (int i = 0; i < iface->childCount(); ++i)
        walk(iface->child(i), w, owner, found, byName);
}

Found survey(TfrmLumora *w)
{
    Found found;
    QMap<QString, QStringList> byName;
    walk(QAccessible::queryAccessibleInterface(w), w, nullptr, found, byName);
    for (auto it = byName.cbegin(); it != byName.cend(); ++it)
        if (it.value().size() > 1)
            found.offenders << QStringLiteral("shared name \"%1\": %2").arg(it.key(), it.value().join(u' '));
    return found;
}

} // namespace

class TstAccessibility : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QAccessible::setActive(true); }

    void everyControlHasANameOfItsOwn_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("english") << LanguageEnglish;
        QTest::newRow("german") << LanguageGerman;
    }
    void everyControlHasANameOfItsOwn()
    {
        QFETCH(int, language);
        auto w = makeConnectedWindow({"-expert", "-rc433", "-english"});
        QVERIFY(w);
        const Found english = survey(w.get());
        if (language == LanguageGerman)
            LoadLanguage(w.get(), LanguageGerman);
        const Found found = survey(w.get());
        QVERIFY2(found.checked > 200, qPrintable(QString::number(found.checked)));
        for (const QString &offender : found.offenders) // the failure message is cut short
            qWarning().noquote() << offender;
        QVERIFY2(found.offenders.isEmpty(), qPrintable(found.offenders.join(u'\n')));
        // The names follow the language: a level slider is named anew.
        QCOMPARE(found.nameOf.value("trb0") != english.nameOf.value("trb0"), language == LanguageGerman);
        // A slider reads what its page shows beside it.
        auto *slider = w->findChild<QSlider *>("trb0");
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(slider);
        QVERIFY(iface && iface->valueInterface());
        slider->setValue(LevelFull / 4);
        QCOMPARE(iface->valueInterface()->currentValue().toDouble(), 25.0);
        QCOMPARE(iface->valueInterface()->maximumValue().toDouble(), 100.0);
        QVERIFY(!iface->text(QAccessible::Description).isEmpty());
        LoadLanguage(w.get(), LanguageEnglish);
    }

    // The pictures say in words what they show, and say it anew when it changes.
    void viewsDescribeWhatTheyShow_data()
    {
        QTest::addColumn<QString>("view");
        QTest::newRow("map") << "imgGeo";
        QTest::newRow("curves") << "img";
        QTest::newRow("chart") << "imgTemp";
        QTest::newRow("history") << "imgHistory";
    }
    void viewsDescribeWhatTheyShow()
    {
        QFETCH(QString, view);
        auto w = makeConnectedWindow({"-expert", "-rc433", "-english"});
        QVERIFY(w);
        auto *widget = w->findChild<QWidget *>(view);
        QVERIFY2(widget, qPrintable(view));
        showTabsOf(widget);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(iface);
        QTRY_VERIFY(!iface->text(QAccessible::Name).isEmpty());
        QTRY_VERIFY(iface->text(QAccessible::Description).size() > 20);
    }
};

QTEST_MAIN(TstAccessibility)
#include "tst_accessibility.moc"
