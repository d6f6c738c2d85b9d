#pragma once

#include <QIcon>
#include <QString>

// The program's icons and pictures (res/kov.qrc).
class Resources {
public:
    // Registers the compiled resources; the gui library is static, so its
    // resources are not registered by themselves. Harmless when repeated.
    static void init();

    static QIcon applicationIcon();
    // By message priority: 0 message (green), 1 warning (yellow), 2 alarm
    // (red); a null icon for any other number.
    static QIcon priorityIcon(int priority);

    static QString linkUnlinked() { return QStringLiteral(":/kov/link_unlinked.xpm"); }
    static QString linkLinkedA() { return QStringLiteral(":/kov/link_linked_a.xpm"); }
    static QString linkLinkedB() { return QStringLiteral(":/kov/link_linked_b.xpm"); }
};
