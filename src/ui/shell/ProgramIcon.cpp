#include "ui/shell/ProgramIcon.h"

#include <array>

// Resources of a static library are registered by hand, outside any namespace.
static void registerUiResources()
{
    Q_INIT_RESOURCE(ostrel_ui);
}

namespace ostrel {

QIcon programIcon()
{
    static const QIcon icon = [] {
        registerUiResources();
        QIcon loaded;
        for (const int size : std::array{16, 22, 32, 48, 64, 128, 256}) {
            loaded.addFile(QStringLiteral(":/icons/ostrel-%1.png").arg(size), QSize(size, size));
        }
        return loaded;
    }();
    return icon;
}

} // namespace ostrel
