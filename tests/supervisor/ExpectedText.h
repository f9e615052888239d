// The supervisor's own log texts and the build-option record, as the device
// must produce them (UTF-8 here; the timeline converts to code page 949).
#ifndef HAILWATCH_TESTS_SUPERVISOR_EXPECTED_TEXT_H
#define HAILWATCH_TESTS_SUPERVISOR_EXPECTED_TEXT_H

namespace timeline {

const char kModemMissing[] = "<I> CheckApp[409] 모뎀 응용프로그램이 없습니다. 재시작합니다.";
const char kMeterMissing[] = "<I> CheckApp[417] 미터기 응용프로그램이 없습니다. 재시작합니다.";
const char kCallMissing[] = "<I> CheckApp[425] 콜 응용프로그램이 없습니다. 재시작합니다.";
const char kVersion[] = "<I> V2.2.56";
const char kBuildOptionFailed[] = "<E> ReqBuildOption[628] 빌드 옵션 응답에 실패하였습니다.Error[1460]";
const char kNaviQuit[] = "<I> RunNaviApp[481] 키전원Off로 인하여 Roadlens를 종료합니다.";
const char kNaviStart[] = "<I> RunNaviApp[490] 키전원On으로 인하여 Roadlens를 실행합니다.";

// "15 법인 미터기데이타 " in code page 949, written out byte by byte so the
// check does not rest on the conversion: 21 bytes, no terminator.
const char kBuildOptionSent[] =
    "send Hailnet 74 tag=2224 bytes=31 35 20 B9 FD C0 CE 20 B9 CC C5 CD B1 E2 B5 A5 C0 CC C5 B8 20";

} // namespace timeline

#endif
