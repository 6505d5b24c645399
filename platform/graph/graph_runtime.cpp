// The runtime's place in COM: the system's classes (filter graph, filter
// mapper, system clock, file source, null renderer, sample grabber) and,
// for any other class, the module the registry names. Installed when the
// library is loaded, so a program that links it can create them all with
// CoCreateInstance.
#include <orvexcom.h>
#include <qedit.h>
#include <uuids.h>

#include <new>

#include "async_source.h"
#include "classfactory.h"
#include "filter_graph.h"
#include "filter_mapper.h"
#include "module_loader.h"
#include "null_renderer.h"
#include "sample_grabber.h"
#include "system_clock.h"

namespace orvex::graph {

namespace {

const CFactoryTemplate kSystemClasses[] = {
    {L"Filter Graph", &CLSID_FilterGraph, CFilterGraph::CreateInstance, nullptr, nullptr},
    {L"Filter Graph no thread", &CLSID_FilterGraphNoThread, CFilterGraph::CreateInstance, nullptr, nullptr},
    {L"Filter Mapper2", &CLSID_FilterMapper2, CFilterMapper::CreateInstance, nullptr, nullptr},
    {L"Filter Mapper", &CLSID_FilterMapper, CFilterMapper::CreateInstance, nullptr, nullptr},
    {L"System Reference Clock", &CLSID_SystemClock, CSystemClock::CreateInstance, nullptr, nullptr},
    {L"File Source (Async.)", &CLSID_AsyncReader, CAsyncSourceFilter::CreateInstance, nullptr, nullptr},
    {L"Null Renderer", &CLSID_NullRenderer, CNullRenderer::CreateInstance, nullptr, nullptr},
    {L"SampleGrabber", &CLSID_SampleGrabber, CSampleGrabber::CreateInstance, nullptr, nullptr},
};

HRESULT locateClassObject(REFCLSID clsid, REFIID riid, void **ppv, void *)
{
    for (const CFactoryTemplate &t : kSystemClasses) {
        if (!t.IsClassID(clsid)) continue;
        auto *factory = new (std::nothrow) CClassFactory(&t);
        if (!factory) return E_OUTOFMEMORY;
        factory->AddRef();
        HRESULT hr = factory->QueryInterface(riid, ppv);
        factory->Release();
        return hr;
    }
    return ModuleLoader::Instance().GetRegisteredClassObject(clsid, riid, ppv);
}

void freeUnusedModules(void *)
{
    ModuleLoader::Instance().FreeUnusedModules();
}

__attribute__((constructor)) void installRuntime()
{
    OrvexSetClassObjectLocator(locateClassObject, nullptr);
    OrvexSetFreeUnusedLibrariesHandler(freeUnusedModules, nullptr);
}

} // namespace

} // namespace orvex::graph
