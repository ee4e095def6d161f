// Representative samples of each encoding (real sentences, converted once
// with Python's codecs and iconv), as hexadecimal bytes.
#pragma once
#include <string>

struct EncodedSample {
    const char* expected;  // the name the detector reports
    int codePage;          // and its code page
    std::string bytes;
    EncodedSample(const char* name, int cp, const char* hex) : expected(name), codePage(cp) {
        for (; hex[0] && hex[1]; hex += 2) bytes += char(std::stoi(std::string(hex, 2), nullptr, 16));
    }
};

// clang-format off
inline const EncodedSample kSamples[] = {
    {"windows-1251", 1251, "d1fae5f8fc20e6e520e5f9b820fdf2e8f520ecffe3eae8f520f4f0e0edf6f3e7f1eae8f520e1f3"
                           "ebeeea2c20e4e020e2fbefe5e920f7e0fe2e20d8e8f0eeeae0ff20fdebe5eaf2f0e8f4e8eae0f6"
                           "e8ff20fee6edfbf520e3f3e1e5f0ede8e920e4e0f1f220eceef9edfbe920f2eeebf7eeea20efee"
                           "e4fab8ecf320f1e5ebfcf1eaeee3ee20f5eee7ffe9f1f2e2e02e"},
    {"KOI8-R", 20866, "f3dfc5dbd820d6c520c5dda320dcd4c9c820cdd1c7cbc9c820c6d2c1cec3d5dad3cbc9c820c2d5cccfcb"
                      "2c20c4c120d7d9d0c5ca20dec1c02e20fbc9d2cfcbc1d120dcccc5cbd4d2c9c6c9cbc1c3c9d120c0d6ce"
                      "d9c820c7d5c2c5d2cec9ca20c4c1d3d420cdcfddced9ca20d4cfccdecfcb20d0cfc4dfa3cdd520d3c5cc"
                      "d8d3cbcfc7cf20c8cfdad1cad3d4d7c12e"},
    {"ISO-8859-5", 28595, "c1ead5e8ec20d6d520d5e9f120ede2d8e520dcefd3dad8e520e4e0d0dde6e3d7e1dad8e520d1e3db"
                          "deda2c20d4d020d2ebdfd5d920e7d0ee2e20c8d8e0dedad0ef20eddbd5dae2e0d8e4d8dad0e6d8ef"
                          "20eed6ddebe520d3e3d1d5e0ddd8d920d4d0e1e220dcdee9ddebd920e2dedbe7deda20dfded4eaf1"
                          "dce320e1d5dbece1daded3de20e5ded7efd9e1e2d2d02e"},
    {"x-mac-cyrillic", 10007, "91fae5f8fc20e6e520e5f9de20fdf2e8f520ecdfe3eae8f520f4f0e0edf6f3e7f1eae8f520e1"
                              "f3ebeeea2c20e4e020e2fbefe5e920f7e0fe2e2098e8f0eeeae0df20fdebe5eaf2f0e8f4e8ea"
                              "e0f6e8df20fee6edfbf520e3f3e1e5f0ede8e920e4e0f1f220eceef9edfbe920f2eeebf7eeea"
                              "20efeee4fadeecf320f1e5ebfcf1eaeee3ee20f5eee7dfe9f1f2e2e02e"},
    {"windows-1253", 1253, "cee5f3eae5f0dce6f920f4e7ed20f8f5f7eff6e8fcf1e120e2e4e5ebf5e3ecdfe12e20a2edefe9"
                           "eee520f4ef20e1f1f7e5dfef20eae1e920e1f0efe8deeae5f5f3e520f4e9f220e1ebebe1e3ddf2"
                           "20f0f1e9ed20eaebe5dff3e5e9f220f4ef20f0e1f1dce8f5f1ef2e"},
    {"ISO-8859-7", 28597, "cee5f3eae5f0dce6f920f4e7ed20f8f5f7eff6e8fcf1e120e2e4e5ebf5e3ecdfe12e20b6edefe9ee"
                          "e520f4ef20e1f1f7e5dfef20eae1e920e1f0efe8deeae5f5f3e520f4e9f220e1ebebe1e3ddf220f0"
                          "f1e9ed20eaebe5dff3e5e9f220f4ef20f0e1f1dce8f5f1ef2e"},
    {"ISO-8859-8", 28598, "e3e220f1f7f8ef20f9e820e1e9ed20eee0e5ebe6e120e5ecf4faf220eef6e020e7e1f8e42e20ece0"
                          "20f0e9faef20ecf4fae5e720e0fa20e4f7e5e1f520e4eee1e5f7f920ebf2fa2c20f0f1e420f9e5e1"
                          "20eee0e5e7f820e9e5faf82e"},
    {"windows-1255", 1255, "e3e220f1f7f8ef20f9e820e1e9ed20eee0e5ebe6e120e5ecf4faf220eef6e020e7e1f8e4209620"
                           "ece020f0e9faef20ecf4fae5e720e0fa20e4f7e5e1f520e4eee1e5f7f920ebf2fa2c20f0f1e420"
                           "f9e5e120eee0e5e7f820e9e5faf82e"},
    {"ISO-8859-6", 28596, "e6d520cde3eae520e4e720d3d120e2c7d7d920e8d0e820d4c3e620d9d8eae520e5e3cae8c820d9e4"
                          "e920cbe8c820c3ced6d120e8e5dae4e120c8cce4cf20c3d2d1e22e20e4c720eae5e3e620e1cacd20"
                          "c7e4e5e4e120c7e4e5d7e4e8c820c7e4c2e62e"},
    {"windows-1252", 1252, "4772f6df65726520c46e646572756e67656e20616e206465722044617465692077757264656e20"
                           "6e696368742067657370656963686572742e204c6520639c75722064e9e775206d616973206c27"
                           "e26d6520706c7574f474206e61ef76652c204c6f75ff732072ea7661206465206372617061fc74"
                           "65722e"},
    {"Shift_JIS", 932, "82a282eb82cd82c982d982d682c62082bf82e882ca82e982f02082ed82a982e682bd82ea82bb2082c2"
                       "82cb82c882e782de8142837483408343838b82f08a4a82ad82b182c682aa82c582ab82dc82b982f182"
                       "c582b582bd814290dd92e882f08a6d944682b582c482ad82be82b382a28142"},
    {"EUC-JP", 51932, "a4a4a4eda4cfa4cba4dba4d8a4c820a4c1a4eaa4cca4eba4f220a4efa4aba4e8a4bfa4eca4bd20a4c4a4"
                      "cda4caa4e9a4e0a1a3a5d5a5a1a5a4a5eba4f2b3aba4afa4b3a4c8a4aca4c7a4ada4dea4bba4f3a4c7a4"
                      "b7a4bfa1a3c0dfc4eaa4f2b3cec7a7a4b7a4c6a4afa4c0a4b5a4a4a1a3"},
    {"ISO-2022-JP", 50222, "1b2442255525212524256b2472332b242f24332448242c2447242d245e243b247324472437243f"
                           "2123405f446a2472334e472724372446242f24402435242421231b2842"},
    {"gb18030", 936, "cedeb7a8b4f2bfaacbf9c7ebc7f3b5c4cec4bcfea1a3c7ebbcecb2e9c9e8d6c3a3acc8bbbaf3d4d9cad4"
                     "d2bbb4cea1a3ced2c3c7bdabd4dacfc2b4cec6f4b6afcab1d3a6d3c3d5e2d0a9b8fcb8c4a1a3"},
    {"HZ-GB-2312", 52936, "7e7b4e5e372834723f2a4b79476b477335444e443c7e2123476b3c6c326949685643232c483b3a73"
                          "54594a54523b344e21237e7d"},
    {"ISO-2022-CN", 50227, "1b2429410e4e5e372834723f2a4b79476b477335444e443c7e2123476b3c6c326949685643232c"
                           "483b3a7354594a54523b344e21230f"},
    {"Big5", 950, "b54caa6bb67db1d2a9d2ad6ea844aabac0c9aed7a143bdd0c0cbac64b35da977a141b54dabe1a641b8d5a440"
                  "a6b8a143a7daadccb14ea662a455a6b8b1d2b0caaec9ae4da5ceb36fa8c7c5dca7f3a143"},
    {"x-euc-tw", 51936, "e0d2cecee2e4daf6cdd4d3d1cae5cefbf3f2d5f9a1a4eef9f3f4d1e7ddc3ccf9a1a2e0d3d1a5c7c2e6"
                        "dcc4a1c8b9a1a4cabcd4afd9f2c7e3c4b6c8b9daf6d9afd5ebd4efc6eeddd5cbe8fcc8cad5a1a4"},
    {"EUC-KR", 51949, "bfe4c3bbc7d120c6c4c0cfc0bb20bfad20bcf620bef8bdc0b4cfb4d92e20bcb3c1a4c0bb20c8aec0cec7"
                      "d120b4d9c0bd20b4d9bdc320bdc3b5b5c7cfbdcabdc3bfc02e20baafb0e620bbe7c7d7c0ba20b4d9c0bd"
                      "bfa120bdc3c0dbc7d220b6a720c0fbbfebb5cbb4cfb4d92e"},
    {"ISO-2022-KR", 50225, "1b2429430e3f64433b47510f200e4644404f403b0f200e3f2d0f200e3c760f200e3e783d40344f"
                           "34590f2e200e3c334124403b0f200e482e404e47510f200e3459403d0f200e34593d430f200e3d"
                           "433535474f3d4a3d433f400f2e"},
    {"UTF-8", 65001, "4772c3b6c39f65726520c3846e646572756e67656e20e2809320e38395e382a1e382a4e383abe38292e9"
                     "968be3818f20e2809420d0a1d18ad0b5d188d18c20d0b6d0b520d0b5d189d191"},
    {"UTF-16LE", 1200, "d530a130a430eb3092308b954f30533068304c3067304d307e305b309330673057305f3002302d8a9a"
                       "5b9230ba788d8a573066304f306030553044300230"},
    {"UTF-16BE", 1201, "0421044a04350448044c00200436043500200435044904510020044d0442043804450020043c044f04"
                       "33043a043804450020044404400430043d0446044304370441043a04380445002004310443043b043e"
                       "043a002c00200434043000200432044b043f04350439002004470430044e002e"},
    {"UTF-32LE", 12000, "21710000d56c00008b9500005f5500004062000081890000426c000084760000946a00004868000002"
                        "300000cb8a0000a26a0000e56700002d8a00009a5b000002300000"},
    {"UTF-32BE", 12001, "0000004f00000070000000650000006e00000020000000740000006800000065000000200000006600"
                        "0000690000006c000000650000002c000000200000007400000068000000650000006e000000200000"
                        "00730000006100000076000000650000002000000069000000740000002e"},
};
// clang-format on
