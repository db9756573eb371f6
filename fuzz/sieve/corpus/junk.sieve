#!1 Junk
if header :contains "Subject" "offer" 
 {
  fileinto "Junk";
}
