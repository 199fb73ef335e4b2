// A JScript client walks the bank as a host's macro would, its services with an Enumerator.
var bank = new ActiveXObject("TolvarBrenmarkLintrove.Bank");
WScript.Echo("Name=" + bank.Name);
var services = bank.Services;
WScript.Echo("Count=" + services.Count);
for (var walker = new Enumerator(services); !walker.atEnd(); walker.moveNext()) {
    var service = walker.item();
    WScript.Echo("Service=" + service.Name + " Status=" + service.Status);
}
WScript.Echo("ByName=" + services.Item("Bank Reconciliation Service").Name);
WScript.Echo("ByIndex=" + services.Item(0).Name);
try {
    services.Item(5);
    WScript.Echo("BadIndex=none");
} catch (failure) {
    WScript.Echo("BadIndex=" + (failure.number >>> 0).toString(16) + " " + failure.description);
}
// The engine stops without a word at the first failure: the last line shows it got here.
WScript.Echo("End");
