#pragma once
// The program's own pictures: the image lists of the main window and the program icon.
// Each is painted at the size and pixel density it is shown at, sharp at every scale.

#include <QIcon>
#include <QList>

// img1 (16x16) of the main window: index 0 account properties, 1 new account,
// 2 delete account, 3 check messages, 4 download message, 5 delete message,
// 6 unused, 7 about, 8 help.
enum TCommandImage {
    ciProperties = 0,
    ciNewAccount = 1,
    ciDeleteAccount = 2,
    ciCheck = 3,
    ciDownload = 4,
    ciDeleteMessage = 5,
    ciAbout = 7,
    ciHelp = 8,
};

// img1: nine 16x16 images in the order of TCommandImage.
QList<QIcon> CommandImages();
// img: one 32x32 image, the account icon.
QList<QIcon> AccountImages();
// The 32x32 program icon (About box, account editor, window).
QIcon ProgramIcon();
