// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shows or hides one property of the grid while another property (found by
// its data key) has, or has not, a given value. Values compare strictly: a
// value of another type is never equal.

#include <QVariant>

class CPropertyGridProperty;

struct CPropertyCondition {
    quintptr m_dwData = 0;                        // key of the controlling property
    QVariant m_value;                             // value compared with
    CPropertyGridProperty* m_pTarget = nullptr;   // shown or hidden; not owned; null: does nothing
    bool m_bShowIfEqual = true;                   // shown while equal (true) or while different
};
