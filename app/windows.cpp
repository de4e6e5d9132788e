#include "windows.h"

#include "tfm04motocho.h"
#include "tdm01keiri.h"
#include "tmaininput.h"
#include "tmenu.h"

namespace tolva {

void registerWindows()
{
    TMenu::registerWindow(TMenu::Window::Journal, [](QWidget* owner) -> std::unique_ptr<QDialog> {
        return std::make_unique<TMainInput>(*Tdm01Keiri::instance(), owner);
    });
    TMenu::registerWindow(TMenu::Window::Ledger, [](QWidget* owner) { return std::make_unique<Tfm04Motocho>(owner); });
}

} // namespace tolva
