#include "resources.h"

static void registerKovResources()
{
    Q_INIT_RESOURCE(kov);
}

void Resources::init()
{
    registerKovResources();
}

static QIcon twoSizes(const QString& stem)
{
    QIcon icon;
    icon.addFile(stem + QStringLiteral("_32.xpm"), QSize(32, 32));
    icon.addFile(stem + QStringLiteral("_16.xpm"), QSize(16, 16));
    return icon;
}

QIcon Resources::applicationIcon()
{
    return twoSizes(QStringLiteral(":/kov/kov"));
}

QIcon Resources::priorityIcon(int priority)
{
    switch (priority) {
    case 0:
        return twoSizes(QStringLiteral(":/kov/priority_message"));
    case 1:
        return twoSizes(QStringLiteral(":/kov/priority_warning"));
    case 2:
        return twoSizes(QStringLiteral(":/kov/priority_alarm"));
    default:
        return QIcon();
    }
}
