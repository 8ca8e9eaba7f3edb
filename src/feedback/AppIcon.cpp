#include "feedback/AppIcon.h"

namespace AppIcon {

QIcon application()
{
    return QIcon::fromTheme(QStringLiteral("quillsnap"),
                            QIcon(QStringLiteral(":/icons/quillsnap.svg")));
}

QIcon symbolic()
{
    return QIcon::fromTheme(QStringLiteral("quillsnap-symbolic"),
                            QIcon(QStringLiteral(":/icons/quillsnap-symbolic.svg")));
}

} // namespace AppIcon
