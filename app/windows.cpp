#include "windows.h"

#include "tfm04motocho.h"
#include "tmenu.h"

namespace tolva {

void registerWindows()
{
    TMenu::registerWindow(TMenu::Window::Ledger, [](QWidget* owner) { return std::make_unique<Tfm04Motocho>(owner); });
}

} // namespace tolva
