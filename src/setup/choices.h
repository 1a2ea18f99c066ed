#pragma once
// What the user chooses on the wizard's pages.

namespace zel {

// The installation-type page's choice, in the order of its items.
enum class InstallationType : int { Typical = 0, Custom = 1 };

// The browser to set up, in the order of the custom page's items: the kit's first browser, its
// second, or none.
enum class Browser : int { First = 0, Second = 1, None = 2 };

} // namespace zel
