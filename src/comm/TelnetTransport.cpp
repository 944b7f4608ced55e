#include "comm/TelnetTransport.h"

#include "comm/TelnetClient.h"
#include "text/QtCodec.h"

// The client raises its events only while received data is not held.
TTelnetTransport::TTelnetTransport(QObject* parent)
    : TTransport(parent), FClient(new TTelnetClient(this)) {
  FClient->OnConnect = [this](TTCPClient*, TSocket) {
    FAttempting = false;
    if (OnUp) OnUp();
  };
  FClient->OnData = [this](TTCPClient*, TSocket) {
    if (OnReceived) OnReceived();
  };
  FClient->OnClose = [this](TTCPClient*, TSocket) { Closed(); };
  FClient->OnError = [this](TCustomWSocket*, int, const std::string& message) { Failed(message); };
}

bool TTelnetTransport::Open(const TAPData& entry) {
  FClient->Host = entry.HostName;
  FClient->Port = ShownPort(entry.Port);
  if (OnNotice)
    OnNotice(ToQString(FClient->Host) + "のﾎﾟｰﾄ" + ToQString(FClient->Port) + "へ接続しています");
  try {
    FClient->Open();
  } catch (const std::exception& error) {
    if (OnNotice) OnNotice(QString::fromUtf8(error.what()));
    return false;
  }
  FAttempting = FClient->Status() == TSocketStatus::Connecting;
  return FAttempting;
}

void TTelnetTransport::Close() {
  FAttempting = false;
  FClient->Close();
}

bool TTelnetTransport::Send(const std::string& text) {
  return FClient->SendText(text);
}

void TTelnetTransport::SendBreak() {
  FClient->SendBreak();
}

void TTelnetTransport::Hold(bool held) {
  FClient->Hold(held);
}

std::string TTelnetTransport::TakeBlock() {
  return FClient->ReceiveText();
}

bool TTelnetTransport::Pending() const {
  return FClient->ClosePending();
}

// An attempt that fails before the connection is up ends as a failed start,
// with the socket's reason. Errors on an established connection are the
// socket's own business.
void TTelnetTransport::Failed(const std::string& message) {
  if (!FAttempting) return;
  Close();
  if (OnDown) OnDown({TDownCause::StartFailed, QString::fromStdString(message)});
}

void TTelnetTransport::Closed() {
  FAttempting = false;
  if (OnDown) OnDown({TDownCause::Ended, {}});
}
