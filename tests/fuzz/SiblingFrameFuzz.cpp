// The sibling link's frame reader against the stream it was given: the bytes
// arrive in chunks cut where the input chooses; every frame read, encoded
// again, gives the next bytes of the stream, no payload passes the bound, a
// reply always carries its 64-bit result, and once the reader has refused a
// frame it gives nothing more.

#include "comm/SiblingLink.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput input(data, size);
  TSiblingFrameReader reader;
  QByteArray stream;
  qsizetype consumed = 0;
  while (!input.AtEnd()) {
    const std::string chunk = input.Text();
    stream.append(chunk.data(), static_cast<qsizetype>(chunk.size()));
    reader.Append(QByteArray(chunk.data(), static_cast<qsizetype>(chunk.size())));
    while (std::optional<TSiblingFrame> frame = reader.Next()) {
      FUZZ_CHECK(!reader.Broken());
      FUZZ_CHECK(frame->Payload.size() <= kSiblingMaxPayload);
      FUZZ_CHECK(!frame->IsReply() || frame->Result().has_value());
      const QByteArray encoded = EncodeSiblingFrame(*frame);
      FUZZ_CHECK(stream.mid(consumed, encoded.size()) == encoded);
      consumed += encoded.size();
    }
    if (reader.Broken()) FUZZ_CHECK(!reader.Next().has_value());
  }
  return 0;
}
