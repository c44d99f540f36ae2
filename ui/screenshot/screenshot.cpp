// ui/screenshot/screenshot.cpp - renders the main dialog, offscreen, on a game directory into a
// PNG picture for the documentation: the dialog as it opens, the newest save chosen.
#include "dialog.h"
#include "modmanagerapp.h"
#include "qtdialogview.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarvex-screenshot GAME-DIRECTORY OUTPUT.png\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(ModManagerApp::applicationName));

    SaveList saves;
    saves.setProgramDirectory(rString(argv[1]));
    QtDialogView window;
    ModManagerDialog dialog(window, saves);
    window.start(dialog);
    window.show();
    QApplication::processEvents();

    // The client area under a plain caption bar, as a window manager would frame it.
    const QPixmap client = window.grab();
    const int caption = window.fontMetrics().height() + 10;
    QPixmap picture(client.width() + 2, client.height() + caption + 1);
    picture.fill(QColor(60, 60, 60));
    QPainter painter(&picture);
    painter.fillRect(1, 1, client.width(), caption - 1, QColor(44, 84, 150));
    const int iconSize = caption - 6;
    painter.drawPixmap(5, 3, ModManagerApp::icon().pixmap(iconSize, iconSize));
    painter.setPen(Qt::white);
    painter.setFont(window.font());
    painter.drawText(QRect(iconSize + 10, 1, client.width() - iconSize - 30, caption - 1),
                     Qt::AlignVCenter | Qt::AlignLeft, window.windowTitle());
    painter.drawText(QRect(client.width() - 20, 1, 18, caption - 1), Qt::AlignCenter,
                     QStringLiteral("\u00d7"));
    painter.drawPixmap(1, caption, client);
    painter.end();
    if (!picture.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "tarvex-screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
