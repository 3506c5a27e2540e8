#include "host/ServerClasses.h"

#include "common/win/ComObject.h"
#include "host/DisplayContentItem.h"
#include "host/HostIds.h"
#include "host/PropertyPage.h"
#ifdef MELLODECK_HAVE_PANEL
#include "host/GoogleSideBarImpl.h"
#endif

namespace mellodeck {
namespace {

template <typename T> HRESULT ClassObjectOf(REFCLSID clsid, REFIID iid, void** out) {
    return win::GetClassObjectOf<T>(*T::ClassId, clsid, iid, out);
}

} // namespace

const std::vector<TServerClass>& ServerClasses() {
    static const std::vector<TServerClass> classes = {
        {&CLSID_GoogleSideBarX, L"Mellodeck", L"Tracklight.GoogleSideBarX", true, true, true,
#ifdef MELLODECK_HAVE_PANEL
         &ClassObjectOf<TGoogleSideBarX>
#else
         nullptr
#endif
        },
        {&CLSID_TDisplayContentItem, L"TDisplayContentItem Object", L"Tracklight.TDisplayContentItem", true, true,
         false, &ClassObjectOf<TDisplayContentItem>},
        {&CLSID_TPropertyPageForm, L"TPropertyPageForm property page", L"", false, false, false,
         &ClassObjectOf<TPropertyPageForm>},
    };
    return classes;
}

} // namespace mellodeck
