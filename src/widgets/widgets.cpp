// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/widgets.h"

#include <QBoxLayout>

LabeledEdit::LabeledEdit(const QString &objectName, QWidget *parent, LabelPosition position)
    : QWidget(parent), m_label(new QLabel(this)), m_edit(new QLineEdit(this))
{
    setObjectName(objectName);
    m_edit->setObjectName(objectName + QStringLiteral("_edit"));
    m_label->setBuddy(m_edit);
    QBoxLayout *layout = position == LabelAbove ? static_cast<QBoxLayout *>(new QVBoxLayout(this))
                                                : static_cast<QBoxLayout *>(new QHBoxLayout(this));
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(position == LabelAbove ? 2 : 4);
    if (position == LabelRight) {
        layout->addWidget(m_edit);
        layout->addWidget(m_label);
    } else {
        layout->addWidget(m_label);
        layout->addWidget(m_edit);
    }
    setFocusProxy(m_edit);
    connect(m_edit, &QLineEdit::textChanged, this, &LabeledEdit::textChanged);
}

void LabeledEdit::setHint(const QString &hint)
{
    setToolTip(hint);
    m_edit->setToolTip(hint);
}

