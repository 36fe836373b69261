// Responsibilities: the naming rule of the Linux link contract: how a DDE service and topic map
// onto a D-Bus bus name and object path, and the fixed names of the link and automation
// interfaces.
// Collaborations: used by DBusLinkClient and DBusAutomationClient (the clients) and by
// veltaro-link-publisher (the servers), so both sides agree byte for byte.
#pragma once

#include <QString>
#include <string>

namespace veltaro::qt {

inline constexpr const char* LinkServicePrefix = "org.veltaro.Link.";
inline constexpr const char* LinkInterface = "org.veltaro.Link";
inline constexpr const char* LinkNoSuchItemError = "org.veltaro.Link.Error.NoSuchItem";
inline constexpr const char* LinkRequestMethod = "Request";
inline constexpr const char* LinkAdviseSignal = "Advise";

inline constexpr const char* FtlinkService = "org.veltaro.FTLink";
inline constexpr const char* FtlinkServerInterface = "org.veltaro.FTLink.Server";
inline constexpr const char* FtlinkTrxInterface = "org.veltaro.FTLink.Trx";
inline constexpr const char* FtlinkFirstObjectMethod = "FirstObject";
inline constexpr const char* FtlinkFrequencyProperty = "Frequency";

// Every byte outside [A-Za-z0-9], and a leading digit, becomes "_" and two lower-case hex
// digits: "CI-V Commander" -> "CI_2dV_20Commander", "7MHz" -> "_37MHz".
std::string escapeLinkName(const std::string& raw);

// The bus name of a DDE service: "org.veltaro.Link." + escape(service).
QString linkBusName(const std::string& service);

// The object path of a DDE topic: "/" + escape(topic).
QString linkObjectPath(const std::string& topic);

} // namespace veltaro::qt
