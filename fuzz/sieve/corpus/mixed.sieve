if header :is "Subject" "a" 
 {
  keep;
}
elsif size :under 10
 {
  discard;
}
else {
  stop;
}
notify :options "ops" :message "$from$: $subject$\r\n$text$";
vacation :subject "Away" "back soon";
/* c */ reject text:
line
..x
.
;
if not anyof (exists ["a","b"], spamtest, true, false, void) { }
