// Every GS1 Application Identifier, as data.
//
// Source: GS1's list of Application Identifiers at ref.gs1.org/ai as of January 2026 (GS1 GenSpecs,
// release 26), with each format read from GS1's Barcode Syntax Dictionary published there.
// A run that GS1 lists as one entry, such as 3100-3105 (the last digit places the decimal point), is one
// row; AIs that merely share a format have rows of their own.
//
// A format whose parts all have a fixed length (N6, N14 N4, X2) is a fixed field here, even where GS1 asks
// for a separator after it: a value is then exactly that long, and a separator that follows it is skipped.
// Any other format is variable, its longest value the sum of its parts' longest ([X..17] optional parts
// included). The first two digits of an AI fix how many digits it has, so no AI is the start of another.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace dorvik {

struct AiDefinition {
    std::string_view first; // the AI, or the first of a run
    std::string_view last;  // the last of the run; equal to `first` for a single AI
    int32_t fixedLength;    // 0 for a variable-length value
    int32_t maxLength;
};

inline constexpr std::array<AiDefinition, 214> kGs1AiTable{{
    {"00", "00", 18, 18},     // SSCC
    {"01", "01", 14, 14},     // GTIN
    {"02", "02", 14, 14},     // GTIN of contained trade items
    {"03", "03", 14, 14},     // GTIN of a made-to-order trade item
    {"10", "10", 0, 20},      // batch or lot
    {"11", "11", 6, 6},       // production date
    {"12", "12", 6, 6},       // due date
    {"13", "13", 6, 6},       // packaging date
    {"15", "15", 6, 6},       // best before
    {"16", "16", 6, 6},       // sell by
    {"17", "17", 6, 6},       // expiry
    {"20", "20", 2, 2},       // variant
    {"21", "21", 0, 20},      // serial
    {"22", "22", 0, 20},      // consumer product variant
    {"235", "235", 0, 28},    // third-party serialised extension (TPX)
    {"240", "240", 0, 30},    // additional product identification
    {"241", "241", 0, 30},    // customer part number
    {"242", "242", 0, 6},     // made-to-order variation
    {"243", "243", 0, 20},    // packaging component
    {"250", "250", 0, 30},    // secondary serial
    {"251", "251", 0, 30},    // reference to source entity
    {"253", "253", 0, 30},    // GDTI: N13 [X..17]
    {"254", "254", 0, 20},    // GLN extension
    {"255", "255", 0, 25},    // GCN: N13 [N..12]
    {"30", "30", 0, 8},       // variable count
    {"3100", "3105", 6, 6},   // net weight, kg
    {"3110", "3115", 6, 6},   // length, m
    {"3120", "3125", 6, 6},   // width, m
    {"3130", "3135", 6, 6},   // height, m
    {"3140", "3145", 6, 6},   // area, m²
    {"3150", "3155", 6, 6},   // net volume, l
    {"3160", "3165", 6, 6},   // net volume, m³
    {"3200", "3205", 6, 6},   // net weight, lb
    {"3210", "3215", 6, 6},   // length, in
    {"3220", "3225", 6, 6},   // length, ft
    {"3230", "3235", 6, 6},   // length, yd
    {"3240", "3245", 6, 6},   // width, in
    {"3250", "3255", 6, 6},   // width, ft
    {"3260", "3265", 6, 6},   // width, yd
    {"3270", "3275", 6, 6},   // height, in
    {"3280", "3285", 6, 6},   // height, ft
    {"3290", "3295", 6, 6},   // height, yd
    {"3300", "3305", 6, 6},   // gross weight, kg
    {"3310", "3315", 6, 6},   // length, m, logistic
    {"3320", "3325", 6, 6},   // width, m, logistic
    {"3330", "3335", 6, 6},   // height, m, logistic
    {"3340", "3345", 6, 6},   // area, m², logistic
    {"3350", "3355", 6, 6},   // volume, l, logistic
    {"3360", "3365", 6, 6},   // volume, m³, logistic
    {"3370", "3375", 6, 6},   // kg per m²
    {"3400", "3405", 6, 6},   // gross weight, lb
    {"3410", "3415", 6, 6},   // length, in, logistic
    {"3420", "3425", 6, 6},   // length, ft, logistic
    {"3430", "3435", 6, 6},   // length, yd, logistic
    {"3440", "3445", 6, 6},   // width, in, logistic
    {"3450", "3455", 6, 6},   // width, ft, logistic
    {"3460", "3465", 6, 6},   // width, yd, logistic
    {"3470", "3475", 6, 6},   // height, in, logistic
    {"3480", "3485", 6, 6},   // height, ft, logistic
    {"3490", "3495", 6, 6},   // height, yd, logistic
    {"3500", "3505", 6, 6},   // area, in²
    {"3510", "3515", 6, 6},   // area, ft²
    {"3520", "3525", 6, 6},   // area, yd²
    {"3530", "3535", 6, 6},   // area, in², logistic
    {"3540", "3545", 6, 6},   // area, ft², logistic
    {"3550", "3555", 6, 6},   // area, yd², logistic
    {"3560", "3565", 6, 6},   // net weight, troy oz
    {"3570", "3575", 6, 6},   // net volume, oz
    {"3600", "3605", 6, 6},   // net volume, qt
    {"3610", "3615", 6, 6},   // net volume, gal
    {"3620", "3625", 6, 6},   // volume, qt, logistic
    {"3630", "3635", 6, 6},   // volume, gal, logistic
    {"3640", "3645", 6, 6},   // net volume, in³
    {"3650", "3655", 6, 6},   // net volume, ft³
    {"3660", "3665", 6, 6},   // net volume, yd³
    {"3670", "3675", 6, 6},   // volume, in³, logistic
    {"3680", "3685", 6, 6},   // volume, ft³, logistic
    {"3690", "3695", 6, 6},   // volume, yd³, logistic
    {"37", "37", 0, 8},       // count of trade items
    {"3900", "3909", 0, 15},  // amount payable
    {"3910", "3919", 0, 18},  // amount payable with currency: N3 N..15
    {"3920", "3929", 0, 15},  // price
    {"3930", "3939", 0, 18},  // price with currency: N3 N..15
    {"3940", "3943", 4, 4},   // percentage discount
    {"3950", "3955", 6, 6},   // price per unit of measure
    {"400", "400", 0, 30},    // purchase order
    {"401", "401", 0, 30},    // GINC
    {"402", "402", 17, 17},   // GSIN
    {"403", "403", 0, 30},    // routing code
    {"410", "410", 13, 13},   // GLN: ship to
    {"411", "411", 13, 13},   // GLN: bill to
    {"412", "412", 13, 13},   // GLN: purchased from
    {"413", "413", 13, 13},   // GLN: ship for
    {"414", "414", 13, 13},   // GLN: physical location
    {"415", "415", 13, 13},   // GLN: invoicing party
    {"416", "416", 13, 13},   // GLN: production or service location
    {"417", "417", 13, 13},   // GLN: party
    {"420", "420", 0, 20},    // ship-to postal code
    {"421", "421", 0, 12},    // ship-to postal code with country: N3 X..9
    {"422", "422", 3, 3},     // country of origin
    {"423", "423", 0, 15},    // countries of initial processing: N3 and up to four more
    {"424", "424", 3, 3},     // country of processing
    {"425", "425", 0, 15},    // countries of disassembly
    {"426", "426", 3, 3},     // country of full process
    {"427", "427", 0, 3},     // subdivision of origin
    {"4300", "4300", 0, 35},  // ship-to company
    {"4301", "4301", 0, 35},  // ship-to contact
    {"4302", "4302", 0, 70},  // ship-to address line 1
    {"4303", "4303", 0, 70},  // ship-to address line 2
    {"4304", "4304", 0, 70},  // ship-to suburb
    {"4305", "4305", 0, 70},  // ship-to locality
    {"4306", "4306", 0, 70},  // ship-to region
    {"4307", "4307", 2, 2},   // ship-to country
    {"4308", "4308", 0, 30},  // ship-to telephone
    {"4309", "4309", 20, 20}, // ship-to geolocation
    {"4310", "4310", 0, 35},  // return-to company
    {"4311", "4311", 0, 35},  // return-to contact
    {"4312", "4312", 0, 70},  // return-to address line 1
    {"4313", "4313", 0, 70},  // return-to address line 2
    {"4314", "4314", 0, 70},  // return-to suburb
    {"4315", "4315", 0, 70},  // return-to locality
    {"4316", "4316", 0, 70},  // return-to region
    {"4317", "4317", 2, 2},   // return-to country
    {"4318", "4318", 0, 20},  // return-to postal code
    {"4319", "4319", 0, 30},  // return-to telephone
    {"4320", "4320", 0, 35},  // service description
    {"4321", "4321", 1, 1},   // dangerous goods
    {"4322", "4322", 1, 1},   // authority to leave
    {"4323", "4323", 1, 1},   // signature required
    {"4324", "4324", 10, 10}, // not before delivery date and time
    {"4325", "4325", 10, 10}, // not after delivery date and time
    {"4326", "4326", 6, 6},   // release date
    {"4330", "4330", 0, 7},   // maximum temperature, °F: N6 [-]
    {"4331", "4331", 0, 7},   // maximum temperature, °C
    {"4332", "4332", 0, 7},   // minimum temperature, °F
    {"4333", "4333", 0, 7},   // minimum temperature, °C
    {"7001", "7001", 13, 13}, // NATO stock number
    {"7002", "7002", 0, 30},  // meat cut
    {"7003", "7003", 10, 10}, // expiry date and time
    {"7004", "7004", 0, 4},   // active potency
    {"7005", "7005", 0, 12},  // catch area
    {"7006", "7006", 6, 6},   // first freeze date
    {"7007", "7007", 0, 12},  // harvest date: N6 [N6]
    {"7008", "7008", 0, 3},   // aquatic species
    {"7009", "7009", 0, 10},  // fishing gear
    {"7010", "7010", 0, 2},   // production method
    {"7011", "7011", 0, 10},  // test by date: N6 [N4]
    {"7020", "7020", 0, 20},  // refurbishment lot
    {"7021", "7021", 0, 20},  // functional status
    {"7022", "7022", 0, 20},  // revision status
    {"7023", "7023", 0, 30},  // GIAI of an assembly
    {"7030", "7039", 0, 30},  // processor with country: N3 X..27
    {"7040", "7040", 4, 4},   // UIC with extension
    {"7041", "7041", 0, 4},   // freight unit type
    {"710", "710", 0, 20},    // healthcare reimbursement number, Germany
    {"711", "711", 0, 20},    // France
    {"712", "712", 0, 20},    // Spain
    {"713", "713", 0, 20},    // Brazil
    {"714", "714", 0, 20},    // Portugal
    {"715", "715", 0, 20},    // USA
    {"716", "716", 0, 20},    // Italy
    {"717", "717", 0, 20},    // Costa Rica
    {"7230", "7239", 0, 30},  // certification references: X2 X..28
    {"7240", "7240", 0, 20},  // protocol
    {"7241", "7241", 2, 2},   // AIDC media type
    {"7242", "7242", 0, 25},  // version control number
    {"7250", "7250", 8, 8},   // date of birth
    {"7251", "7251", 12, 12}, // date and time of birth
    {"7252", "7252", 1, 1},   // biological sex
    {"7253", "7253", 0, 40},  // family name
    {"7254", "7254", 0, 40},  // given name
    {"7255", "7255", 0, 10},  // name suffix
    {"7256", "7256", 0, 90},  // full name
    {"7257", "7257", 0, 70},  // address of a person
    {"7258", "7258", 3, 3},   // birth sequence
    {"7259", "7259", 0, 40},  // baby of family name
    {"8001", "8001", 14, 14}, // roll products
    {"8002", "8002", 0, 20},  // mobile telephone identifier
    {"8003", "8003", 0, 30},  // GRAI: N1 N13 [X..16]
    {"8004", "8004", 0, 30},  // GIAI
    {"8005", "8005", 6, 6},   // price per unit of measure
    {"8006", "8006", 18, 18}, // ITIP
    {"8007", "8007", 0, 34},  // IBAN
    {"8008", "8008", 0, 12},  // production date and time: N8 [N2] [N2]
    {"8009", "8009", 0, 50},  // optically readable sensor
    {"8010", "8010", 0, 30},  // CPID
    {"8011", "8011", 0, 12},  // CPID serial
    {"8012", "8012", 0, 20},  // software version
    {"8013", "8013", 0, 25},  // GMN
    {"8014", "8014", 0, 25},  // HIDRI
    {"8017", "8017", 18, 18}, // GSRN of provider
    {"8018", "8018", 18, 18}, // GSRN of recipient
    {"8019", "8019", 0, 10},  // SRIN
    {"8020", "8020", 0, 25},  // payment slip reference
    {"8026", "8026", 18, 18}, // ITIP content
    {"8030", "8030", 0, 90},  // digital signature
    {"8040", "8040", 15, 15}, // IMEI
    {"8041", "8041", 15, 15}, // IMEI2
    {"8042", "8042", 32, 32}, // eSIM
    {"8043", "8043", 0, 20},  // physical SIM: N18 [N..2]
    {"8110", "8110", 0, 70},  // coupon code
    {"8111", "8111", 4, 4},   // loyalty points
    {"8112", "8112", 0, 70},  // positive offer coupon code
    {"8200", "8200", 0, 70},  // extended packaging URL
    {"90", "90", 0, 30},      // mutually agreed between trading partners
    {"91", "91", 0, 90},      // company internal
    {"92", "92", 0, 90},      // company internal
    {"93", "93", 0, 90},      // company internal
    {"94", "94", 0, 90},      // company internal
    {"95", "95", 0, 90},      // company internal
    {"96", "96", 0, 90},      // company internal
    {"97", "97", 0, 90},      // company internal
    {"98", "98", 0, 90},      // company internal
    {"99", "99", 0, 90},      // company internal
}};

} // namespace dorvik
