#include "app/windows.h"

#include "aggregate/tfsyukei2.h"
#include "app/tmenu.h"
#include "assets/tkoteisisan.h"
#include "bluereturn/tfaoiro.h"
#include "closing/tfkessan.h"
#include "closing/tfkishu.h"
#include "db/tdm01keiri.h"
#include "journal/tmaininput.h"
#include "ledger/tfm04motocho.h"
#include "masters/tfjigyounushi.h"
#include "masters/tftableb.h"
#include "masters/tftablek.h"
#include "masters/tftablek_t2.h"
#include "masters/tftablem.h"

namespace tolva {

void registerWindows()
{
    TMenu::registerWindow(TMenu::Window::Journal, [](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<TMainInput>(dm, owner);
    });
    TMenu::registerWindow(TMenu::Window::Ledger, [](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<Tfm04Motocho>(dm, owner);
    });
    TMenu::registerWindow(TMenu::Window::Accounts, [](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<TfTableK>(dm, owner);
    });
    TMenu::registerWindow(TMenu::Window::AccountCategories, [](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<TfTableM>(dm, owner);
    });
    TMenu::registerWindow(TMenu::Window::SubAccounts, [](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<TfTableB>(dm, owner);
    });
    TMenu::registerWindow(TMenu::Window::Uses, [](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<TfTableK_T2>(dm, owner);
    });
    TMenu::registerWindow(TMenu::Window::Owner, [](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<Tfjigyounushi>(dm, owner);
    });
    TMenu::registerWindow(TMenu::Window::Closing, [](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<TfKessan>(dm, owner);
    });
    TMenu::registerWindow(TMenu::Window::FixedAssets, [](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<Tkoteisisan>(dm, owner);
    });
    TfKessan::registerBlueReturn([](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<TfAoiro>(dm, owner);
    });
    TMenu::registerWindow(TMenu::Window::OpeningBalances, [](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<TfKishu>(dm, owner);
    });
    TMainInput::registerOpeningBalances([](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<TfKishu>(dm, owner);
    });
    TfKessan::registerPeriodAggregation([](QWidget* owner, Tdm01Keiri& dm) -> std::unique_ptr<QDialog> {
        return std::make_unique<TfSyukei2>(dm, owner);
    });
}

} // namespace tolva
