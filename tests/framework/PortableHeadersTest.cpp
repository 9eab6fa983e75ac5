// Compile-time guard: the portable headers, the form and control headers above all, reach
// neither seam, directly or through another header. Neither the Win32 message names (on
// Windows: <windows.h> itself) nor the DirectX declarations nor Xlib or FLTK may come along
// with them; this file fails to build when one does. The component layer's own headers are
// left out: they are written against the DirectX names.
#include "app/ProgramBlock.h"
#include "core/CorePlatform.h"
#include "core/Exception.h"
#include "core/Numeric.h"
#include "core/Paths.h"
#include "core/Random.h"
#include "core/Text.h"
#include "dialog/CfgRules.h"
#include "dialog/CfgUnit.h"
#include "dialog/PageArtwork.h"
#include "framework/Application.h"
#include "framework/Bitmap.h"
#include "framework/Canvas.h"
#include "framework/Component.h"
#include "framework/Controls.h"
#include "framework/DateTime.h"
#include "framework/Dialogs.h"
#include "framework/Events.h"
#include "framework/Forms.h"
#include "framework/FrameworkPlatform.h"
#include "framework/Graphics.h"
#include "framework/Registry.h"
#include "framework/Timer.h"
#include "framework/WindowTypes.h"
#include "imaging/Orientation.h"
#include "imaging/PictureLoader.h"
#include "pictures/PictureSearch.h"
#include "pictures/PicturesPlatform.h"
#include "pictures/Resample.h"
#include "preview/Preview.h"
#include "preview/PreviewAnimation.h"
#include "preview/PreviewHost.h"
#include "preview/PreviewPlatform.h"
#include "preview/PreviewStretch.h"
#include "settings/Settings.h"
#include "show/ScreenUnit.h"
#include "show/ShowAnimation.h"
#include "show/ShowHost.h"
#include "show/ShowMode.h"
#include "show/ShowPlatform.h"
#include "wdx/WdxPlatform.h"

#if defined(WM_KEYDOWN) || defined(VK_ESCAPE) || defined(_WINDOWS_)
#error "a portable header brings in the Win32 names"
#endif
#if defined(DD_OK) || defined(DDSCL_NORMAL)
#error "a portable header brings in the DirectX declarations"
#endif
#if defined(X_H) || defined(_X11_XLIB_H_) || defined(Fl_H)
#error "a portable header brings in Xlib or FLTK"
#endif
