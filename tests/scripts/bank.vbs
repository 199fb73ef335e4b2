' A scripting client walks the bank as a host's macro would.
Option Explicit
Dim bank, services, service, missing
Set bank = CreateObject("TolvarBrenmarkLintrove.Bank")
WScript.Echo "Name=" & bank.Name
WScript.Echo "Version=" & bank.Version
WScript.Echo "Status=" & bank.Status
Set services = bank.Services
WScript.Echo "Count=" & services.Count
For Each service In services
    WScript.Echo "Service=" & service.Name & " Status=" & service.Status
Next
WScript.Echo "ByName=" & services.Item("Bank Reconciliation Service").Name
WScript.Echo "ByIndex=" & services(0).Name
On Error Resume Next
Set missing = services.Item(5)
WScript.Echo "BadIndex=" & Hex(Err.Number) & " " & Err.Description
Err.Clear
Set missing = services.Item("bank payment service")
WScript.Echo "BadName=" & Hex(Err.Number) & " " & Err.Description
