#include "net/store/PromptPresenter.h"

#include <atomic>

namespace {

class NoWindowPresenter final : public PromptPresenter
{
public:
    bool mainWindowAvailable() override { return false; }
    void showSheet(const PromptSheet &, std::function<void(int)>) override {}
};

NoWindowPresenter g_noWindow;
std::atomic<PromptPresenter *> g_installed{nullptr};

} // namespace

PromptPresenter &PromptPresenter::shared()
{
    PromptPresenter *installed = g_installed.load();
    return installed ? *installed : g_noWindow;
}

void PromptPresenter::setShared(PromptPresenter *presenter)
{
    g_installed.store(presenter);
}
