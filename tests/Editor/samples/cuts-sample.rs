
/* outer /* nested */ still */ fn f() -> String { let s = r#"raw "q" "#; Foo::new(s) }
