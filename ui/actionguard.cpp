#include "ui/actionguard.h"

#include "ui/prompter.h"

namespace tolva {

bool guarded(QWidget* parent, const std::function<void()>& action)
{
    try {
        action();
        return true;
    } catch (const ActionStopped&) {
        return false;
    } catch (const StoreError& e) {
        prompter().error(parent, e.message(), e.detail());
    } catch (const std::exception& e) {
        prompter().error(parent, QStringLiteral("処理中にエラーが発生しました: %1").arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        prompter().error(parent, QStringLiteral("処理中に不明なエラーが発生しました。"));
    }
    return false;
}

} // namespace tolva
