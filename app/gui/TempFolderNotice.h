#pragma once

class QWidget;

// At start-up: when this user's private temporary folder is there but refused (a link, another
// user's, open to others), a box over `parent` says what is wrong and how to mend it. False when
// nothing had to be said.
bool NoticeRefusedTempFolder(QWidget* parent);
