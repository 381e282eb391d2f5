#include "Common/clap/MusicPluginClapGui.h"

#include "Common/clap/MusicPluginClapAdaptor.h"
#include "Common/musicplugin/MusicPlugin.h"
#include "Common/musicplugin/Param.h"
#include "Common/musicplugin/ParamValue.h"
#include "Common/window/EditorWindow.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace
{
using Gui = MusicPluginClapGui;

#if defined(_WIN32)
constexpr const char* windowApi = CLAP_WINDOW_API_WIN32;
// The window's own timer drives the editor.
constexpr bool needsHostTimer = false;
#else
constexpr const char* windowApi = CLAP_WINDOW_API_X11;
// Nothing else runs the editor's X connection on the host's main thread.
constexpr bool needsHostTimer = true;
#endif

// Only a MusicPluginClapGui offers these tables, so the adaptor's gui is one.
Gui* guiOf(const clap_plugin_t* plugin)
{
    const auto* adaptor =
        plugin != nullptr ? static_cast<MusicPluginClapAdaptor*>(plugin->plugin_data) : nullptr;
    return adaptor != nullptr ? static_cast<Gui*>(adaptor->gui()) : nullptr;
}

// The C callbacks: each refuses a null handle; nothing leaves them as an exception.
bool isApiSupported(const clap_plugin_t* plugin, const char* api, bool isFloating)
{
    return guiOf(plugin) != nullptr && Gui::isApiSupported(api, isFloating);
}

bool preferredApi(const clap_plugin_t* plugin, const char** api, bool* isFloating)
{
    if (guiOf(plugin) == nullptr || api == nullptr || isFloating == nullptr) return false;
    *api = windowApi;
    *isFloating = false;
    return true;
}

bool create(const clap_plugin_t* plugin, const char* api, bool isFloating)
{
    Gui* gui = guiOf(plugin);
    return gui != nullptr && gui->create(api, isFloating);
}

void destroy(const clap_plugin_t* plugin)
{
    if (Gui* gui = guiOf(plugin)) gui->destroy();
}

bool setScale(const clap_plugin_t* plugin, double scale)
{
    Gui* gui = guiOf(plugin);
    return gui != nullptr && gui->setScale(scale);
}

bool getSize(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height)
{
    const Gui* gui = guiOf(plugin);
    return gui != nullptr && gui->size(width, height);
}

// The editor has its own sizes only: a host's drag never resizes it.
bool canResize(const clap_plugin_t*)
{
    return false;
}

bool resizeHints(const clap_plugin_t*, clap_gui_resize_hints_t*)
{
    return false;
}

bool adjustSize(const clap_plugin_t*, uint32_t*, uint32_t*)
{
    return false;
}

bool setSize(const clap_plugin_t* plugin, uint32_t width, uint32_t height)
{
    const Gui* gui = guiOf(plugin);
    return gui != nullptr && gui->setSize(width, height);
}

bool setParent(const clap_plugin_t* plugin, const clap_window_t* window)
{
    Gui* gui = guiOf(plugin);
    return gui != nullptr && gui->setParent(window);
}

// Only floating windows have a transient parent or a title.
bool setTransient(const clap_plugin_t*, const clap_window_t*)
{
    return false;
}

void suggestTitle(const clap_plugin_t*, const char*) {}

bool show(const clap_plugin_t* plugin)
{
    Gui* gui = guiOf(plugin);
    return gui != nullptr && gui->show(true);
}

bool hide(const clap_plugin_t* plugin)
{
    Gui* gui = guiOf(plugin);
    return gui != nullptr && gui->show(false);
}

void onTimer(const clap_plugin_t* plugin, clap_id timerId)
{
    if (Gui* gui = guiOf(plugin)) gui->onTimer(timerId);
}

const clap_plugin_gui_t guiExtension = {&isApiSupported, &preferredApi, &create,       &destroy,    &setScale,
                                        &getSize,        &canResize,    &resizeHints,  &adjustSize, &setSize,
                                        &setParent,      &setTransient, &suggestTitle, &show,       &hide};
const clap_plugin_timer_support_t timerExtension = {&onTimer};
} // namespace

MusicPluginClapGui::MusicPluginClapGui(MusicPluginClapAdaptor& adaptor, MusicPlugin* (*createPlugin)(),
                                       EditorFactory createEditor)
    : adaptor_(adaptor), createPlugin_(createPlugin), createEditor_(createEditor)
{}

MusicPluginClapGui::~MusicPluginClapGui()
{
    // The plug-in is being destroyed with its editor open: no gesture goes out any more.
    release();
}

const void* MusicPluginClapGui::extension(const char* id) const noexcept
{
    if (id == nullptr) return nullptr;
    if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &guiExtension;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &timerExtension;
    return nullptr;
}

bool MusicPluginClapGui::isApiSupported(const char* api, bool isFloating) noexcept
{
    return api != nullptr && !isFloating && std::strcmp(api, windowApi) == 0;
}

bool MusicPluginClapGui::create(const char* api, bool isFloating) noexcept
{
    if (editor_ != nullptr || !isApiSupported(api, isFloating) || createPlugin_ == nullptr ||
        createEditor_ == nullptr)
        return false;
    const clap_host_t* host = adaptor_.clapHost();
    try {
        if (host != nullptr && host->get_extension != nullptr) {
            hostGui_ = static_cast<const clap_host_gui_t*>(host->get_extension(host, CLAP_EXT_GUI));
            hostTimer_ = static_cast<const clap_host_timer_support_t*>(
                host->get_extension(host, CLAP_EXT_TIMER_SUPPORT));
        }
        if (needsHostTimer && (hostTimer_ == nullptr || hostTimer_->register_timer == nullptr ||
                               hostTimer_->unregister_timer == nullptr ||
                               !hostTimer_->register_timer(host, timerMilliseconds, &timerId_))) {
            timerId_ = CLAP_INVALID_ID;
            return false;
        }
        plugin_.reset(createPlugin_());
        if (plugin_ != nullptr) params_ = plugin_->paramList.params();
        // Not a value: the first look at each parameter sets it.
        values_.assign(params_.size(), std::numeric_limits<double>::quiet_NaN());
        if (plugin_ != nullptr) editor_ = createEditor_(*this);
    } catch (...) {
        editor_.reset();
    }
    if (editor_ == nullptr) {
        release();
        return false;
    }
    hidden_ = false;
    return true;
}

void MusicPluginClapGui::release() noexcept
{
    adaptor_.meterFeed().setWanted(false);
    // The window before the editor it shows, also when the host destroyed its parent first.
    window_.reset();
    editor_.reset();
    plugin_.reset();
    params_.clear();
    values_.clear();
    if (timerId_ != CLAP_INVALID_ID && hostTimer_ != nullptr && hostTimer_->unregister_timer != nullptr)
        hostTimer_->unregister_timer(adaptor_.clapHost(), timerId_);
    timerId_ = CLAP_INVALID_ID;
}

void MusicPluginClapGui::destroy() noexcept
{
    release();
    // A drag the host's destroy cut short ends for the host too.
    adaptor_.endGestures();
}

bool MusicPluginClapGui::setScale(double scale) noexcept
{
    if (editor_ == nullptr || !(scale > 0.0) || !std::isfinite(scale)) return false;
    // The nearest of the editor's own scales.
    int nearest = Editor::scales[0];
    for (int percent : Editor::scales)
        if (std::fabs(percent - 100.0 * scale) < std::fabs(nearest - 100.0 * scale)) nearest = percent;
    try {
        editor_->setScale(nearest);
        return true;
    } catch (...) {
        return false;
    }
}

bool MusicPluginClapGui::size(std::uint32_t* width, std::uint32_t* height) const noexcept
{
    if (editor_ == nullptr || width == nullptr || height == nullptr) return false;
    *width = static_cast<std::uint32_t>(editor_->width());
    *height = static_cast<std::uint32_t>(editor_->height());
    return true;
}

bool MusicPluginClapGui::setSize(std::uint32_t width, std::uint32_t height) const noexcept
{
    return editor_ != nullptr && width == static_cast<std::uint32_t>(editor_->width()) &&
           height == static_cast<std::uint32_t>(editor_->height());
}

bool MusicPluginClapGui::setParent(const clap_window_t* window) noexcept
{
    if (editor_ == nullptr || window == nullptr || window->api == nullptr ||
        std::strcmp(window->api, windowApi) != 0)
        return false;
    try {
        // A second parent takes the editor from the first.
        window_.reset();
#if defined(_WIN32)
        window_ = EditorWindow::open(*editor_, window->win32);
#else
        window_ =
            EditorWindow::open(*editor_, reinterpret_cast<void*>(static_cast<std::uintptr_t>(window->x11)));
#endif
        if (window_ != nullptr && hidden_) window_->setVisible(false);
    } catch (...) {
        window_.reset();
    }
    feedMeters();
    return window_ != nullptr;
}

bool MusicPluginClapGui::show(bool visible) noexcept
{
    hidden_ = !visible;
    try {
        if (window_ != nullptr) window_->setVisible(visible);
    } catch (...) {}
    feedMeters();
    return window_ != nullptr;
}

void MusicPluginClapGui::feedMeters()
{
    adaptor_.meterFeed().setWanted(window_ != nullptr && !hidden_);
}

void MusicPluginClapGui::onTimer(clap_id timerId) noexcept
{
    if (timerId != timerId_ || window_ == nullptr) return;
    try {
        window_->idle();
    } catch (...) {
        // The next tick tries again.
    }
}

// --- the editor's host ---

void MusicPluginClapGui::beginEdit(int index)
{
    adaptor_.beginGesture(index);
}

void MusicPluginClapGui::performEdit(int index, double knobPos)
{
    if (index < 0 || static_cast<std::size_t>(index) >= params_.size()) return;
    const auto i = static_cast<std::size_t>(index);
    params_[i]->setKnobPos(knobPos);
    values_[i] = paramValue(*params_[i]);
    adaptor_.gestureValue(index, values_[i]);
}

void MusicPluginClapGui::endEdit(int index)
{
    adaptor_.endGesture(index);
}

double MusicPluginClapGui::knobPosition(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= params_.size()) return 0.0;
    const auto i = static_cast<std::size_t>(index);
    const double value = adaptor_.editorValue(index);
    // Set only on a change: a parameter's listeners may do some work.
    if (!(value == values_[i])) {
        values_[i] = value;
        setParamValue(*params_[i], value);
    }
    return params_[i]->getKnobPos();
}

std::optional<double> MusicPluginClapGui::takeMeterReading(int index)
{
    return adaptor_.meterFeed().take(index);
}

bool MusicPluginClapGui::requestResize(int width, int height)
{
    // Before the window exists the host asks for the size itself.
    return window_ != nullptr && hostGui_ != nullptr && hostGui_->request_resize != nullptr && width > 0 &&
           height > 0 &&
           hostGui_->request_resize(adaptor_.clapHost(), static_cast<std::uint32_t>(width),
                                    static_cast<std::uint32_t>(height));
}
