// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef COMBO_TEXTS_H
#define COMBO_TEXTS_H

// The views' choice lists are refilled when the language changes: the same
// choices under new words. The box keeps its choice (the nearest one left
// when the list got shorter) and tells no listener of a change, since the
// operator chose nothing.

#include <QComboBox>
#include <QSignalBlocker>
#include <QStringList>

#include <algorithm>

inline void setComboTexts(QComboBox *box, const QStringList &texts)
{
    const QSignalBlocker quiet(box);
    const int chosen = box->currentIndex();
    box->clear();
    box->addItems(texts);
    box->setCurrentIndex(std::clamp(chosen, 0, box->count() - 1));
}

#endif // COMBO_TEXTS_H
