#!0 
# if allof (address :all :contains "From" "boss" , size :over 102400) 
#  {
#   redirect "deputy";
#   stop;
# }
