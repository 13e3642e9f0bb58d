#include "orders/order_row.h"

namespace tovi::orders {

void setOrderColumns(data::Recordset& rs, const OrderRow& row, const data::DateTime& now) {
  rs("dcqk") = row.dcqk;
  rs("dczj") = row.dczj;
  rs("yhm") = row.yhm;
  rs("telsss") = row.telsss;
  rs("zffs") = row.zffs;
  rs("addresss") = row.addresss;
  rs("qtbz") = row.qtbz;
  rs("years") = now.year;
  rs("months") = now.month;
  rs("days") = now.day;
  rs("fromdate") = now;
  rs("minutess") = now.minute;
  rs("hourss") = now.hour;
  rs("minutes") = row.minutes;
  rs("hours") = row.hours;
  rs("dczt") = 1;
}

}  // namespace tovi::orders
