#include "gui/settings/CharsetRow.h"

#include "gui/settings/HostSheetControls.h"
#include "gui/settings/PageRows.h"
#include "hosts/HostRecord.h"
#include "platform/TextCodec.h"

#include <QComboBox>

#include <algorithm>

CharsetRow::CharsetRow(PageRows& rows, int labelWidth) {
    rows.Label(HostSheetControl::CharsetLabel, QStringLiteral("文字コード(&C)"), labelWidth);
    m_box = rows.DropDown(HostSheetControl::Charset, 90);
    // The entries stand in the order of the stored numbers.
    for (int n = 0; n < kRemoteCharsetCount; ++n)
        m_box->addItem(RemoteCharsetLabel(RemoteCharsetOfNumber(n)));
    rows.NextRow();
}

void CharsetRow::Load(const HostRecord& host) {
    m_box->setCurrentIndex(static_cast<int>(RemoteCharsetOfNumber(host.charset)));
}

void CharsetRow::Store(HostRecord& host) const {
    host.charset = std::max(0, m_box->currentIndex());
}
