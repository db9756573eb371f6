#!1 Junk
if header :contains "Subject" "offer" 
 {
  fileinto "Junk";
}
#!0 
# if true 
#  {
#   }
# else {
#   }
#!0 E
# elsif size :over 3G
#  {
#!0 s
#   stop;
# }
vacation :days "3" :subject "a\nb" "x";
notify :message "";
if address :comparator "i;octet" :is "From" "a" {
#!1 inner
  keep;
}
