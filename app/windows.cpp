#include "windows.h"

#include "tfkessan.h"
#include "tfm04motocho.h"
#include "tdm01keiri.h"
#include "tmaininput.h"
#include "tmenu.h"

namespace tolva {

void registerWindows()
{
    TMenu::registerWindow(TMenu::Window::Journal, [](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<TMainInput>(dm, owner);
    });
    TMenu::registerWindow(TMenu::Window::Ledger, [](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<Tfm04Motocho>(dm, owner);
    });
    TMenu::registerWindow(TMenu::Window::Closing, [](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<TfKessan>(dm, owner);
    });
}

} // namespace tolva
