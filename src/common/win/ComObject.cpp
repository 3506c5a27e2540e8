#include "common/win/ComObject.h"

#include <oleauto.h>

namespace mellodeck::win {
namespace {

// One count per module: this library is linked statically into each module that has COM objects.
std::atomic<long> gModuleLocks{0};

// Publishes the text as the thread's error object (SetErrorInfo); quietly nothing when that fails.
void PublishErrorInfo(const ComErrorSource& source, const std::wstring& text) noexcept {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(::CreateErrorInfo(create.Put())) || !create)
        return;
    create->SetGUID(*source.Interface);
    create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
    if (source.Source)
        create->SetSource(const_cast<LPOLESTR>(source.Source));
    ComPtr<IErrorInfo> info = create.As<IErrorInfo>();
    if (info)
        ::SetErrorInfo(0, info.Get());
}

} // namespace

void LockModule() noexcept { gModuleLocks.fetch_add(1, std::memory_order_relaxed); }

void UnlockModule() noexcept { gModuleLocks.fetch_sub(1, std::memory_order_acq_rel); }

long ModuleLockCount() noexcept { return gModuleLocks.load(std::memory_order_acquire); }

HRESULT CanUnloadModule() noexcept { return ModuleLockCount() == 0 ? S_OK : S_FALSE; }

namespace detail {

HRESULT HandleComException(HRESULT otherwise, const ComErrorSource& source) noexcept {
    HRESULT result = otherwise;
    bool expected = true; // an EComError or running out of memory; anything else is a fault worth reporting
    try {
        throw;
    } catch (const std::bad_alloc&) {
        result = E_OUTOFMEMORY;
    } catch (const EComError& e) {
        result = e.Result();
    } catch (...) {
        expected = false;
    }
    // A failure must read as one, even from an exception that carried a success code.
    if (SUCCEEDED(result))
        result = FAILED(otherwise) ? otherwise : E_FAIL;
    if (!expected || source.Interface) {
        const std::wstring text = CurrentExceptionText(); // may be empty when even that cannot be built
        if (!expected) {
            try {
                ReportFailure(L"COM method failed: " + text);
            } catch (...) {
            }
        }
        if (source.Interface)
            PublishErrorInfo(source, text);
    }
    return result;
}

} // namespace detail
} // namespace mellodeck::win
