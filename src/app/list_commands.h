// The selector's fill from a list reply, and the commands of the list's
// context menu.
#pragma once

#include <string>

#include "app/activation.h"
#include "app/shell_interfaces.h"

namespace list_commands {
enum Command { RemoveProxy = 1, RemoveAllProxies = 2, TestProxy = 3, TestAllProxies = 4 };
constexpr char TestingFormat[] = "Testing proxy: %s Please Wait";
constexpr char TestPassed[] = "Test completed successfully";
constexpr char TestFailed[] = "Test failed - proxy removed";
constexpr char ListUpdated[] = "Proxy list updated!";
}  // namespace list_commands

// Empties the selector and inserts the reply's items in reply order.
void FillProxySelector(MainWindowView& view, const std::string& reply);

// "%d miliseconds" (the list's own spelling, unlike the evaluation dialog's).
std::string ListResponseTimeText(uint32_t milliseconds);

class ListCommands {
public:
    ListCommands(ProxyActivation& activation, MainWindowView& view, ProxyDialogs& dialogs,
                 ProxyProbe& probe);

    // Runs a chosen context-menu command on the first selected row; false
    // when no row is selected (no menu is shown then).
    bool Run(int command);
    void RemoveProxy(int row);
    void RemoveAllProxies();
    void TestProxy(int row);
    void TestAllProxies();

private:
    void SetStatus(const std::string& text);

    ProxyActivation& activation_;
    MainWindowView& view_;
    ProxyDialogs& dialogs_;
    ProxyProbe& probe_;
};
